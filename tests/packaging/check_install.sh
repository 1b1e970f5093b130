#!/usr/bin/env bash
# Installs a build into a scratch folder as a package would, then checks what the
# desktop sees of it (the entry, the metainfo, the icons, the manual page) and
# that the installed program answers --version and --help without a display.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build=$1
source=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$stage.log" 2>&1; then
    cat "$stage.log"; rm -f "$stage.log"
    echo "FAIL: cmake --install"; exit 1
fi
rm -f "$stage.log"
usr=$stage/usr

for file in bin/quorvel share/applications/quorvel.desktop \
    share/metainfo/org.quorvel.Quorvel.metainfo.xml \
    share/icons/hicolor/16x16/apps/quorvel.png share/icons/hicolor/32x32/apps/quorvel.png \
    share/icons/hicolor/48x48/apps/quorvel.png share/icons/hicolor/128x128/apps/quorvel.png \
    share/icons/hicolor/scalable/apps/quorvel.svg share/man/man1/quorvel.1.gz \
    share/doc/quorvel/LICENSE share/doc/quorvel/copyright; do
    [ -s "$usr/$file" ] || fail "$file is not installed"
done
if [ -f "$source/Readme.txt" ]; then
    cmp -s "$source/Readme.txt" "$usr/share/doc/quorvel/Readme.txt" || fail "Readme.txt is not installed"
fi
for size in 16 32 48 128; do
    file "$usr/share/icons/hicolor/${size}x${size}/apps/quorvel.png" |
        grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is not $size pixels"
done

desktop-file-validate "$usr/share/applications/quorvel.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml" ||
    fail "appstreamcli validate"
# The metainfo, the entry and the icon together, as a software centre reads them.
appstreamcli validate-tree --no-net "$stage" || fail "appstreamcli validate-tree"
if command -v groff >/dev/null; then
    warnings=$(zcat "$usr/share/man/man1/quorvel.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "the manual page: $warnings"
fi

# The options need no display: they are answered before the toolkit starts.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/quorvel" "$@"; }
expect() { # expected-status expected-stdout expected-stderr arguments...
    local status=$1 out=$2 err=$3; shift 3
    local got_out got_err got_status
    got_out=$(run "$@" 2>"$stage/err"); got_status=$?
    got_err=$(cat "$stage/err")
    [ "$got_status" = "$status" ] || fail "quorvel $*: exit status $got_status, not $status"
    [ "$got_out" = "$out" ] || fail "quorvel $*: printed '$got_out', not '$out'"
    [ "$got_err" = "$err" ] || fail "quorvel $*: complained '$got_err', not '$err'"
}
expect 0 "Quorvel 1.36" "" --version
expect 0 "Usage: quorvel [--version | --help] [--] [PICTURE-OR-FOLDER]" "" --help
expect 2 "" "quorvel: unknown option --verbose (quorvel --help tells more)" --verbose pic.jpg

[ "$failures" -eq 0 ] && echo "the installed layout is complete and valid"
exit $((failures > 0))
