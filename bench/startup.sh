#!/bin/sh
# Times start-up: vexo-render against rsvg-convert on an empty document,
# whole process for whole process, where loading the shared libraries and
# setting them up is nearly all the work. Extra arguments go to the benchmark
# runner (e.g. --runs 100). Not part of CI: the machines are too noisy for a
# pass/fail threshold.
set -eu
cd "$(dirname "$0")/.."

BENCH_DIR=../shared/bench
if [ ! -x "$BENCH_DIR/run" ]; then
    echo "bench: $BENCH_DIR/run not found beside the project, skipped"
    exit 0
fi

scripts/build.sh
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
RENDERER="$(cd "$BUILD_DIR" && pwd)/vexo-render"
OUT="$BUILD_DIR/bench/startup"
mkdir -p "$OUT"
printf '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"/>\n' > "$OUT/empty.svg"

"$BENCH_DIR/run" \
    -r 'rsvg=rsvg-convert -w {width} -h {height} -o {png} {svg}' \
    -r "vexo=$RENDERER {svg} -o {png} --width {width}" \
    --width 10 --runs 50 --md "$OUT/startup.md" "$@" "$OUT/empty.svg"
