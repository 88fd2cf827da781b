#!/bin/sh
# Renders the SVG 1.1 subset of the resvg reference-image suite with vexo-render
# and scores every picture against its reference with the shared harness
# (../shared/conformance). Prints pass counts per category, writes results to
# build/conformance/ (or $VEXO_BUILD_DIR/conformance/), lists the tests where
# vexo-render crashed or timed out, and fails when the total pass count falls
# below conformance/floor.txt. Extra arguments go to the harness (e.g. --diffs,
# --only 'text/*'); the floor is checked only when every listed test ran.
# Skips with exit status 0 when the suite is not beside the project.
set -eu
cd "$(dirname "$0")/.."

HARNESS_DIR=../shared/conformance
if [ ! -d "$HARNESS_DIR" ]; then
    echo "conformance: $HARNESS_DIR not found beside the project, skipped"
    exit 0
fi

# A render slower than this is a hang as far as the suite is concerned.
TIMEOUT_S=20

scripts/build.sh
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
RENDERER="$(cd "$BUILD_DIR" && pwd)/vexo-render"
SUITE="$(cd "$HARNESS_DIR/resvg" && pwd)"
MANIFEST="$SUITE/svg11.txt"
OUT="$BUILD_DIR/conformance"
RUN="$OUT/svg11"

# The references were drawn with the suite's own fonts only and these generic
# families; system fonts would move glyphs and fail text tests for no fault of ours.
write_fonts_conf() {
    cat >"$1" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$SUITE/fonts</dir>
  <cachedir>$(cd "$OUT" && pwd)/fontconfig-cache</cachedir>
  <alias binding="strong"><family>serif</family><prefer><family>Noto Serif</family></prefer></alias>
  <alias binding="strong"><family>sans-serif</family><prefer><family>Noto Sans</family></prefer></alias>
  <alias binding="strong"><family>cursive</family><prefer><family>Yellowtail</family></prefer></alias>
  <alias binding="strong"><family>fantasy</family><prefer><family>Sedgwick Ave Display</family></prefer></alias>
  <alias binding="strong"><family>monospace</family><prefer><family>Noto Mono</family></prefer></alias>
</fontconfig>
EOF
}

# Crashes and timeouts are bugs whatever the picture would have been.
list_broken_renders() {
    /usr/bin/python3 - "$RUN/results.jsonl" <<'EOF'
import json, sys
with open(sys.argv[1], encoding='utf-8') as f:
    broken = [r for r in map(json.loads, f) if r['status'] in ('crash', 'timeout')]
if broken:
    print('\nvexo-render crashed or timed out on %d tests:' % len(broken))
for r in broken:
    print('  %-8s %-10s %s' % (r['status'], r['reason'], r['test']))
EOF
}

summary_field() {
    sed -n "s/^total \([0-9]*\): pass \([0-9]*\).*/$1/p" "$RUN/summary.txt"
}

check_floor() {
    floor=$(grep -v '^#' conformance/floor.txt | head -n 1)
    passed=$(summary_field '\2')
    if [ "$passed" -lt "$floor" ]; then
        echo "conformance: $passed tests pass, below the floor of $floor (conformance/floor.txt)"
        exit 1
    fi
    if [ "$passed" -gt "$floor" ]; then
        echo "conformance: $passed tests pass; raise conformance/floor.txt from $floor to $passed"
    fi
}

rm -rf "$RUN"
mkdir -p "$RUN"
write_fonts_conf "$OUT/fonts.conf"
FONTCONFIG_FILE="$(cd "$OUT" && pwd)/fonts.conf"
export FONTCONFIG_FILE

# The tests share images and fonts in the suite's resources folder, beside
# the folders of the tests that use them.
"$HARNESS_DIR/run" --suite "$SUITE/tests" --manifest "$MANIFEST" --out "$RUN" \
    --renderer "'$RENDERER' --allow-dir '$SUITE' {svg} -o {png} --width {width}" \
    --jobs 2 --timeout "$TIMEOUT_S" "$@"
list_broken_renders

listed=$(grep -c -v -e '^#' -e '^$' "$MANIFEST")
if [ "$(summary_field '\1')" -eq "$listed" ]; then
    check_floor
fi
