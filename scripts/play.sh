#!/usr/bin/env bash
# Sets up, builds and plays Veltro 12. On a machine without a display it renders the
# production to a 1920x1080 MP4 video instead, offscreen through EGL (no X server needed),
# and says where it went.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./veltro12 "$@"
fi
capture="$PWD/veltro12.mp4"
echo "play: no display found; rendering the production at 1920x1080 to $capture offscreen, without an X server."
SDL_AUDIODRIVER=dummy ./veltro12 --no-dialog --windowed --size 1920x1080 --capture "$capture" "$@"
echo "play: the production is in $capture (play it with any video player, for example: ffplay '$capture')."
