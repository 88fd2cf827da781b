#!/bin/sh
# Fails when a source file includes a header from a layer above its own.
# The layers, lowest first (each may include itself and those before it):
#   base values model style {text filter} render pipeline {cli app}
# text and filter sit side by side, as do cli and app: neither of a pair may
# include the other. Run by ctest; prints every offending include.
set -eu
cd "$(dirname "$0")/../src"

allowed() {
    case "$1" in
    base) echo "base" ;;
    values) echo "base values" ;;
    model) echo "base values model" ;;
    style) echo "base values model style" ;;
    text) echo "base values model style text" ;;
    filter) echo "base values model style filter" ;;
    render) echo "base values model style text filter render" ;;
    pipeline) echo "base values model style text filter render pipeline" ;;
    cli) echo "base values model style text filter render pipeline cli" ;;
    app) echo "base values model style text filter render pipeline app" ;;
    *) echo "" ;;
    esac
}

status=0
for layer in *; do
    [ -d "$layer" ] || continue
    ok=$(allowed "$layer")
    if [ -z "$ok" ]; then
        echo "check-layers: src/$layer is in no layer; add it to scripts/check-layers.sh"
        status=1
        continue
    fi
    # "#include "folder/..." lines; system and Qt headers use <>.
    grep -rn --include='*.h' --include='*.cpp' -E '^#include "[a-z_]+/' "$layer" |
        while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed -E 's/.*#include "([a-z_]+)\/.*/\1/')
            case " $ok " in
            *" $target "*) ;;
            *) echo "check-layers: $line  ($layer may not include $target)" ;;
            esac
        done
done >/tmp/vexo-layers.$$
if [ -s /tmp/vexo-layers.$$ ]; then
    cat /tmp/vexo-layers.$$
    status=1
fi
rm -f /tmp/vexo-layers.$$
exit $status
