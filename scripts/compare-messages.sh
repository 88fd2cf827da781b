#!/bin/sh
# Runs two vexo-render builds on the same documents and lists every document
# whose messages differ: once with no output (the document pass alone) and,
# with --vector, once into a PDF as well. Usage:
#   scripts/compare-messages.sh [--vector] OLD-VEXO-RENDER NEW-VEXO-RENDER FILE|DIR...
# Folders are searched for .svg and .svgz files. Exits 1 when any differ.
set -eu
vector=0
if [ "${1:-}" = "--vector" ]; then
    vector=1
    shift
fi
old="$1"
new="$2"
shift 2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
find "$@" -type f \( -name '*.svg' -o -name '*.svgz' \) | sort >"$work/files"
compared=0
differing=0
while IFS= read -r file; do
    for mode in none pdf; do
        [ "$mode" = pdf ] && [ "$vector" = 0 ] && continue
        if [ "$mode" = pdf ]; then
            set -- -o "$work/out.pdf"
        else
            set --
        fi
        timeout 60 "$old" "$@" "$file" >"$work/old.txt" 2>&1 || true
        timeout 60 "$new" "$@" "$file" >"$work/new.txt" 2>&1 || true
        compared=$((compared + 1))
        if ! cmp -s "$work/old.txt" "$work/new.txt"; then
            differing=$((differing + 1))
            echo "differ ($mode): $file"
            diff "$work/old.txt" "$work/new.txt" | head -10
        fi
    done
done <"$work/files"
echo "$compared runs compared, $differing differ"
[ "$differing" = 0 ]
