#!/usr/bin/env bash
# Builds Lanterns' archive: the Blender scenes (when Blender is installed; the exported .glb
# files are committed), the music (when FluidSynth is installed; the .ogg is committed), then
# packs and checks this folder. --pack-only packs the committed files as they are.
# Usage: productions/lanterns/build.sh [--pack-only] [OUT.zip] [PYLON]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
rebuild=1
if [ "${1:-}" = "--pack-only" ]; then rebuild=0; shift; fi
out="$(realpath -m "${1:-$here/../../build/lanterns.zip}")"
pylon="${2:-$here/../../build/pylon}"
if [ "$rebuild" = 1 ] && command -v blender > /dev/null; then
  blender -b --factory-startup --python "$here/blender/make_scenes.py" > /dev/null
fi
if [ "$rebuild" = 1 ] && command -v fluidsynth > /dev/null && [ -f /usr/share/sounds/sf2/FluidR3_GM.sf2 ]; then
  bash "$here/music/render.sh"
fi
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
# Only what the production reads goes into the archive, not the scripts that make it.
cp -r "$here/production.txtpb" "$here/shaders" "$here/objects" "$here/textures" "$here/scenes" "$stage/"
mkdir -p "$stage/music" && cp "$here/music/lanterns.ogg" "$stage/music/"
"$pylon" pack "$stage" "$out"
"$pylon" check "$out"
echo "Lanterns: $out (play it with: build/veltro12 --data $out)"
