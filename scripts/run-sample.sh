#!/bin/sh
# Builds Vexo and runs it on the bundled sample drawing.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
"$BUILD_DIR/vexo-render" --tree samples/drawing.svg
