#!/bin/sh
# Configures and builds Vexo into build/ (or $VEXO_BUILD_DIR), installing the
# Debian packages it needs first. Extra arguments go to cmake's configure step.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR="${VEXO_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR"
