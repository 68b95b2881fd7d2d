#!/usr/bin/env bash
# Runs the commands of README.md, docs/authoring.md and docs/video.md the way a new user on a
# machine without a display would, in a scratch folder, and prints each with its exit code
# and the last lines it printed. Commands that render the whole 125 s run are given a short
# --from/--to stretch (said beside them); the ones that need a screen (playing, --watch) show
# what the player says without one. Needs a build (scripts/build.sh).
#
#   bash scripts/docs-walk.sh [SCENE.glb]     (default: tests/data/gltf/scene.glb, a Blender export)
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
scene="$(realpath "${1:-$here/tests/data/gltf/scene.glb}")"
work="$(mktemp -d "${TMPDIR:-/tmp}/docs-walk.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p build
ln -s "$here/build/veltro12" "$here/build/pylon" "$here/build/data.zip" build/
ln -s "$here/scripts" scripts
cp "$scene" myscene.glb
export PATH="$work/build:$PATH" SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1
unset DISPLAY WAYLAND_DISPLAY

walk() {
  local note="$1"
  shift
  echo "\$ $*${note:+    # $note}"
  timeout 900 bash -c "$*" > out.txt 2>&1
  local rc=$?
  tail -n "${PYLON_WALK_LINES:-6}" out.txt | sed 's/^/    /'
  echo "    -> exit $rc"
}

echo "== README.md"
walk "" "veltro12 --help | head -n 5"
walk "a stretch: --from 60 --to 61" "veltro12 --capture veltro12.mp4 --fps 30 --from 60 --to 61"
walk "" "pylon import myscene.glb mine.zip && veltro12 --data mine.zip"
walk "needs a screen" "veltro12 --windowed --no-dialog --scene myscene.glb --watch --loop 0 10"

echo "== docs/authoring.md"
walk "needs a screen" "build/veltro12 --windowed --no-dialog --scene myscene.glb --watch --loop 0 10"
walk "" "build/pylon import myscene.glb mine.zip"
walk "" "build/pylon unpack mine.zip work"
walk "needs a screen" "build/veltro12 --windowed --no-dialog --data work --watch"
sox -n -r 44100 -c 2 mytrack.wav synth 3 sine 440 2>/dev/null && oggenc -Q mytrack.wav -o mytrack.ogg 2>/dev/null ||
  cp "$here/build/data.zip" /dev/null
[ -f mytrack.ogg ] && walk "" "build/pylon import myscene.glb mine.zip --music mytrack.ogg"
walk "" "build/pylon pack work mine.zip"
walk "" "build/pylon ls mine.zip"
walk "" "build/pylon scene mine.zip --at 5 | head -c 600"
walk "" "build/veltro12 --data mine.zip --shot 5 frame-5.png && file frame-5.png"
walk "a stretch: --to 2" "build/veltro12 --data mine.zip --capture mine.avi --fps 30 --from 0 --to 2"
walk "" "ffprobe -hide_banner mine.avi"
walk "needs a screen" "build/veltro12 --data mine.zip"

echo "== docs/video.md"
walk "a stretch: --from 60 --to 61" "veltro12 --no-dialog --windowed --size 1920x1080 --fps 30 --capture veltro12.mp4 --from 60 --to 61"
walk "" "ffprobe -v error -show_entries stream=codec_name,profile,width,height,r_frame_rate,nb_frames -show_entries format=duration veltro12.mp4"
walk "a stretch: --from 60 --to 60.5" "veltro12 --no-dialog --windowed --size 1920x1080 --capture master.mkv --codec FFV1 --audio-codec pcm --from 60 --to 60.5"
walk "" "ffmpeg -v error -y -i master.mkv -c:v libx264 -crf 18 -c:a aac upload.mp4 && ls upload.mp4"
walk "a stretch: --from 60 --to 61" "scripts/render-farm.sh -n 4 --from 60 --to 61 veltro12.mp4 -- --size 1920x1080"
walk "a stretch: --from 60 --to 60.5; this machine only" "scripts/render-farm.sh -n 4 -j 2 --from 60 --to 60.5 master.mkv --audio-codec pcm -- --size 1920x1080 --codec FFV1"
walk "relative --data" "scripts/render-farm.sh -n 2 --from 60 --to 60.5 mine.mp4 -- --data mine.zip --size 640x360"
