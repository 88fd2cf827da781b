#!/bin/sh
# Fuzzes Vexo: builds the libFuzzer targets of fuzz/ with clang 16,
# AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/ (or
# $VEXO_FUZZ_BUILD_DIR), runs each for SECONDS (default 60) at the lowest
# priority, so that other builds on the machine are not starved, then replays
# tests/fuzz/reproducers/ through them and prints executions, coverage and
# findings per target.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: load css path xslt
#
# Inputs the fuzzers find interesting accumulate in build-fuzz/fuzz-work/corpus/,
# crashes, hangs and leaks in build-fuzz/fuzz-work/findings/. Copy each finding
# into tests/fuzz/reproducers/ (css/, path/ or xslt/ for those targets) and fix
# it. Exit status: 0 no finding, 1 a finding or a reproducer failed.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SECONDS_EACH="${1:-60}"
[ $# -gt 0 ] && shift
TARGETS="${*:-load css path xslt}"
BUILD="${VEXO_FUZZ_BUILD_DIR:-build-fuzz}"
WORK="$BUILD/fuzz-work"

scripts/install-deps.sh --fuzz
CC=clang-16 CXX=clang++-16 cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXO_FUZZ=ON \
    -DVEXO_APP=OFF -DVEXO_TESTS=OFF >/dev/null
names=""
for t in $TARGETS; do names="$names ${t}_fuzzer"; done
# shellcheck disable=SC2086
cmake --build "$BUILD" -j 2 --target $names

export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1"
# Sanitizer reports name functions and lines only through a symbolizer.
symbolizer=$(command -v llvm-symbolizer-16 || command -v llvm-symbolizer || true)
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
status=0
summary=""
for t in $TARGETS; do
    corpus="$WORK/corpus/$t"
    findings="$WORK/findings/$t"
    mkdir -p "$corpus" "$findings"
    seeds="fuzz/seeds/$t"
    reproducers="tests/fuzz/reproducers/$t"
    [ "$t" = load ] && reproducers="tests/fuzz/reproducers"
    # libFuzzer stops at a corpus folder that does not exist.
    [ -d "$reproducers" ] || reproducers=""
    extra=""
    case "$t" in
    load | xslt) extra="-dict=fuzz/svg.dict" ;;
    esac
    # The resvg suite, when it is beside the project, seeds whole loads.
    suite=""
    [ "$t" = load ] && [ -d ../shared/conformance/resvg/tests ] && suite=../shared/conformance/resvg/tests
    echo "== $t: fuzzing for $SECONDS_EACH s"
    # shellcheck disable=SC2086
    nice -n 19 "$BUILD/${t}_fuzzer" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2560 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" $extra \
        "$corpus" "$seeds" $reproducers $suite >"$WORK/$t.log" 2>&1 || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$WORK/$t.log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$WORK/$t.log" | tail -n 1 | cut -d' ' -f2)
    features=$(grep -o 'ft: [0-9]*' "$WORK/$t.log" | tail -n 1 | cut -d' ' -f2)
    found=$(find "$findings" -type f | wc -l)
    [ "$found" -gt 0 ] && status=1
    summary="$summary$t: ${runs:-0} executions, ${cov:-0} edges covered, ${features:-0} features, $found findings\n"
done

echo "== replaying tests/fuzz/reproducers"
for t in $TARGETS; do
    folder="tests/fuzz/reproducers/$t"
    [ "$t" = load ] && folder="tests/fuzz/reproducers"
    [ -d "$folder" ] || continue
    files=$(find "$folder" -maxdepth 1 -type f | sort)
    [ -z "$files" ] && continue
    # shellcheck disable=SC2086
    if ! nice -n 19 "$BUILD/${t}_fuzzer" -timeout=10 $files >"$WORK/$t-replay.log" 2>&1; then
        echo "$t: a reproducer fails, see $WORK/$t-replay.log"
        status=1
    fi
done
printf "%b" "$summary"
exit $status
