#!/usr/bin/env bash
# Holds the includes of src/ to the layers, one way: a file includes files of its own
# folder and of the folders below it, never of a folder beside or above it.
# Usage: check_layers.sh SOURCE_DIR (the src/ folder)
set -uo pipefail
cd "$1" || exit 1

# Lowest first; folders on one line stand beside each other.
layers=(
    "picture"
    "platform/desktop"
    "platform/controls"
    "browse help"
    "fileops tray"
    "show"
    "app"
)

folder_of() {
    local path=$1 layer folder
    for layer in "${layers[@]}"; do
        for folder in $layer; do
            [[ $path == "$folder"/* ]] && { echo "$folder"; return; }
        done
    done
}

rank_of() {
    local i folder
    for i in "${!layers[@]}"; do
        for folder in ${layers[$i]}; do
            [[ $folder == "$1" ]] && { echo "$i"; return; }
        done
    done
    echo -1
}

failures=0
while IFS= read -r file; do
    own=$(folder_of "$file")
    if [[ -z $own ]]; then
        echo "FAIL: $file is in no layer"
        failures=$((failures + 1))
        continue
    fi
    own_rank=$(rank_of "$own")
    while IFS= read -r included; do
        if [[ $included == *../* ]]; then
            echo "FAIL: $file includes $included: by its path from src/, please"
            failures=$((failures + 1))
            continue
        fi
        target=$(folder_of "$included")
        # A name without a layer's folder is the including file's neighbour.
        [[ -z $target || $target == "$own" ]] && continue
        if (($(rank_of "$target") >= own_rank)); then
            echo "FAIL: $file includes $included, which is not below $own"
            failures=$((failures + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)

((failures == 0)) && echo "The includes run one way."
exit $((failures > 0))
