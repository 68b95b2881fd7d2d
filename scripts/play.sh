#!/usr/bin/env bash
# Sets up, builds and plays Veltro 12. On a machine without a display it renders the
# production to video instead, under a private Xvfb server, and says where it went.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./veltro12 "$@"
fi
capture="$PWD/veltro12_capture.avi"
echo "play: no display found; rendering the production to $capture under Xvfb instead."
LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy bash ../scripts/with-display.sh \
  ./veltro12 --no-dialog --windowed --capture "$capture" "$@"
echo "play: the production is in $capture (play it with any video player, for example: ffplay '$capture')."
