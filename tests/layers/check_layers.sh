#!/usr/bin/env bash
# Holds the includes of src/ to the layers, one way: a file includes files of its own
# folder and of the folders below it, never of a folder beside or above it.
# Usage: check_layers.sh SOURCE_DIR (the src/ folder)
set -uo pipefail
cd "$1" || exit 1
# Each folder's layer, lowest first; folders of one layer stand beside each other.
declare -A rank=([picture]=0 [platform/desktop]=1 [platform/controls]=2 [browse]=3 [help]=3
    [fileops]=4 [tray]=4 [show]=5 [app]=6)
folder_of() { local f; for f in "${!rank[@]}"; do [[ $1 == "$f"/* ]] && echo "$f"; done; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
while IFS= read -r file; do
    own=$(folder_of "$file")
    [[ -n $own ]] || { fail "$file is in no layer"; continue; }
    while IFS= read -r included; do
        [[ $included == *../* ]] && { fail "$file includes $included: by its path from src/, please"; continue; }
        target=$(folder_of "$included")
        # A name without a layer's folder is the including file's neighbour.
        [[ -z $target || $target == "$own" ]] && continue
        ((rank[$target] < rank[$own])) || fail "$file includes $included, which is not below $own"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)
((failures == 0)) && echo "The includes run one way."
exit $((failures > 0))
