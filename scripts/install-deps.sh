#!/bin/sh
# Installs every Debian package that building and testing Vexo needs, over the
# whole project. Packages already present are skipped; runs as root or through sudo.
# python3-numpy and python3-pil run the conformance harness; librsvg2-bin is the
# peer renderer the benchmark compares against; poppler-utils reads back the
# printing tests' PDF files; qt6-image-formats-plugins reads exported TIFF and WebP.
# With --fuzz, also clang 16 and its runtime libraries (libFuzzer, the
# sanitizers) for scripts/fuzz.sh and the ThreadSanitizer build: clang 14,
# Debian 12's default, cannot compile the C++20 ranges of its libstdc++ 12.
set -eu

PACKAGES="g++ cmake ninja-build pkg-config ccache libgtest-dev libgmock-dev libbenchmark-dev
libcairo2-dev libxml2-dev libxslt1-dev libfontconfig-dev libfreetype-dev
libharfbuzz-dev libfribidi-dev liblcms2-dev libpng-dev libjpeg62-turbo-dev libgif-dev
libtiff-dev libwebp-dev zlib1g-dev qt6-base-dev qt6-image-formats-plugins
xvfb xauth fonts-dejavu fonts-liberation2 fonts-ipafont-gothic icc-profiles-free
python3-numpy python3-pil librsvg2-bin poppler-utils"
if [ "${1:-}" = "--fuzz" ]; then
    PACKAGES="$PACKAGES clang-16 libclang-rt-16-dev"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
echo "Installing:$missing"
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
