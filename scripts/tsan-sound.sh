#!/usr/bin/env bash
# Builds the sound tests with ThreadSanitizer into build-tsan/ (or $PYLON_TSAN_DIR) and runs
# them: the mixing threads and the main thread must share nothing without a lock.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${PYLON_TSAN_DIR:-build-tsan}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPYLON_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread" -DCMAKE_C_FLAGS="-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" > /dev/null
cmake --build "$BUILD_DIR" --target test_sound pylon -j "${PYLON_JOBS:-2}"
export LIBGL_ALWAYS_SOFTWARE=1
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1}"
bash scripts/with-display.sh "$BUILD_DIR/tests/test_sound" "$@"
