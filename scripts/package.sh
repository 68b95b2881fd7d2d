#!/usr/bin/env bash
# Builds the Debian package (veltro12_VERSION_ARCH.deb in the build folder) with CPack and
# checks it with lintian, which must report no errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR="${PYLON_BUILD_DIR:-build}"
PYLON_BUILD_DIR="$BUILD_DIR" bash scripts/build.sh
rm -f "$BUILD_DIR"/veltro12_*.deb
(cd "$BUILD_DIR" && cpack -G DEB > cpack.log) || { cat "$BUILD_DIR/cpack.log"; exit 1; }
deb=$(ls "$BUILD_DIR"/veltro12_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb"
echo "lintian:"
lintian --fail-on error "$deb"
echo "lintian: no errors"
