#!/bin/sh
# Builds Vexo, runs it on the bundled sample drawing and draws the sample
# into a PNG beside the build.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
"$BUILD_DIR/vexo-render" --tree samples/drawing.svg
"$BUILD_DIR/vexo-render" samples/drawing.svg -o "$BUILD_DIR/drawing.png" >/dev/null
echo "The sample is drawn in $BUILD_DIR/drawing.png"
