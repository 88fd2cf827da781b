#!/bin/sh
# Builds Vexo and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh "$@"
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
