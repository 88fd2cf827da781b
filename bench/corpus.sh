#!/bin/sh
# Times vexo-render against rsvg-convert, whole process for whole process, over
# the shared real-world corpus (../shared/bench/corpus) and prints the per-file
# table and the geometric mean of vexo's time ratios to rsvg-convert. The tables
# are also kept in build/bench/ (or $VEXO_BUILD_DIR/bench/). Extra arguments go
# to the benchmark runner (e.g. --runs 3, --include 'maps/*', --width native).
# Not part of CI: the machines are too noisy for a pass/fail threshold.
set -eu
cd "$(dirname "$0")/.."

BENCH_DIR=../shared/bench
if [ ! -d "$BENCH_DIR/corpus" ]; then
    echo "bench: $BENCH_DIR/corpus not found beside the project, skipped"
    exit 0
fi

scripts/build.sh
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
RENDERER="$(cd "$BUILD_DIR" && pwd)/vexo-render"
OUT="$BUILD_DIR/bench"
mkdir -p "$OUT"

"$BENCH_DIR/run" \
    -r 'rsvg=rsvg-convert -w {width} -h {height} -o {png} {svg}' \
    -r "vexo=$RENDERER {svg} -o {png} --width {width}" \
    --md "$OUT/corpus.md" --json "$OUT/corpus.json" "$@"
