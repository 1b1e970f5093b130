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

DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$stage/log" 2>&1 ||
    { cat "$stage/log"; echo "FAIL: cmake --install"; exit 1; }
usr=$stage/usr

for file in bin/quorvel share/applications/quorvel.desktop \
    share/metainfo/org.quorvel.Quorvel.metainfo.xml share/icons/hicolor/scalable/apps/quorvel.svg \
    share/man/man1/quorvel.1.gz share/doc/quorvel/LICENSE share/doc/quorvel/copyright; do
    [ -s "$usr/$file" ] || fail "$file is not installed"
done
[ ! -f "$source/Readme.txt" ] || cmp -s "$source/Readme.txt" "$usr/share/doc/quorvel/Readme.txt" ||
    fail "Readme.txt is not installed"
for size in 16 32 48 128; do
    file "$usr/share/icons/hicolor/${size}x${size}/apps/quorvel.png" |
        grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is not installed or not $size pixels"
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
    local status=$1 out=$2 err=$3 got_out got_status got_err; shift 3
    got_out=$(run "$@" 2>"$stage/err"); got_status=$?; got_err=$(cat "$stage/err")
    [ "$got_status" = "$status" ] && [ "$got_out" = "$out" ] && [ "$got_err" = "$err" ] ||
        fail "quorvel $*: exit status $got_status, printed '$got_out', complained '$got_err'"
}
expect 0 "Quorvel 1.36" "" --version
expect 0 "Usage: quorvel [--version | --help] [--] [PICTURE-OR-FOLDER]" "" --help
expect 2 "" "quorvel: unknown option --verbose (quorvel --help tells more)" --verbose pic.jpg

[ "$failures" -eq 0 ] && echo "the installed layout is complete and valid"
exit $((failures > 0))
