#!/usr/bin/env bash
# Sets up, builds and runs every test (the GL tests under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# Mesa's software rasteriser: the same pixels on every machine, GPU or not.
export LIBGL_ALWAYS_SOFTWARE=1
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
# A test that fails is run once more before it counts: a GL test whose process could not
# reach the private X server now and then (seen once in many runs) must not fail the
# suite; a real fault fails both times.
bash scripts/with-display.sh ctest --test-dir build --output-on-failure -j "$(nproc)" --repeat until-pass:2 "$@"
# The parsers' fuzz targets, briefly (scripts/fuzz.sh SECONDS runs them longer).
bash scripts/fuzz.sh "${PYLON_FUZZ_SECONDS:-5}"
# The whole suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/; PYLON_ASAN=0 skips it).
if [ "${PYLON_ASAN:-1}" != 0 ]; then
  bash scripts/asan.sh
fi
# The web player in Chromium: built with emscripten into build-web/, served and driven by
# tests/web (PYLON_WEB=0 skips it).
if [ "${PYLON_WEB:-1}" != 0 ]; then
  bash scripts/web-test.sh
fi
