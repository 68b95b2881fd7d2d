#!/usr/bin/env bash
# Sets up, builds and runs every test (the GL tests under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# Mesa's software rasteriser: the same pixels on every machine, GPU or not.
export LIBGL_ALWAYS_SOFTWARE=1
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
bash scripts/with-display.sh ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
# The parsers' fuzz targets, briefly (scripts/fuzz.sh SECONDS runs them longer).
bash scripts/fuzz.sh "${PYLON_FUZZ_SECONDS:-5}"
