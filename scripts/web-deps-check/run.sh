#!/usr/bin/env bash
# Builds the web libraries' check programs against BUILD_DIR/deps/prefix (made by
# scripts/web-deps.sh) with cmake/WebDependencies.cmake: one runs under node (zlib, libzip,
# vorbis, kissfft, protobuf, SDL timers), one in headless Chromium where it is installed (SDL
# video with a WebGL 2 context, and Web Audio).
#   scripts/web-deps-check/run.sh [BUILD_DIR]      (default: build-web at the top of the checkout)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
if [ $# -gt 0 ]; then BUILD_DIR="$(realpath -m "$1")"; else BUILD_DIR="$ROOT/build-web"; fi
PREFIX="$BUILD_DIR/deps/prefix"
OUT="$BUILD_DIR/deps/check"
[ -f "$PREFIX/lib/libSDL2.a" ] || { echo "web-deps-check: $PREFIX has no libraries: run scripts/web-deps.sh first" >&2; exit 1; }
for tool in sox zip; do
  command -v "$tool" > /dev/null || { echo "web-deps-check: needs $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

mkdir -p "$OUT/data"
for i in $(seq 1 400); do echo "line $i of the web check"; done > "$OUT/data/notes.txt"
sox -q -n -r 44100 -c 1 "$OUT/data/tone.ogg" synth 0.5 sine 1000
rm -f "$OUT/data/check.zip"
(cd "$OUT/data" && zip -q -9 check.zip notes.txt tone.ogg)

emcmake cmake -S "$ROOT/scripts/web-deps-check" -B "$OUT/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="-fexceptions" -DPYLON_WEB_DEPS_PREFIX="$PREFIX" -DCHECK_ZIP="$OUT/data/check.zip" > "$OUT/configure.log" 2>&1 ||
  { cat "$OUT/configure.log" >&2; exit 1; }
cmake --build "$OUT/build" -j 2 > "$OUT/build.log" 2>&1 || { tail -n 40 "$OUT/build.log" >&2; exit 1; }
# Node 20's fetch cannot read the .wasm from a path: emscripten 3.1.6 falls back to fs without it.
node --no-experimental-fetch "$OUT/build/web_deps_check.js"

if ! command -v chromium > /dev/null; then
  echo "web-deps-check: no chromium: the SDL video and audio check in a browser is skipped"
  exit 0
fi
# The page writes its outcome into the DOM; --virtual-time-budget lets it run to the end first.
# Software WebGL (SwiftShader) needs no GPU and no display.
timeout 120 chromium --headless=new --no-sandbox --allow-file-access-from-files \
  --use-angle=swiftshader --enable-unsafe-swiftshader --autoplay-policy=no-user-gesture-required \
  --enable-logging=stderr --v=0 --virtual-time-budget=20000 --user-data-dir="$OUT/chromium-profile" \
  --dump-dom "file://$OUT/build/web_deps_browser_check.html" > "$OUT/browser-dom.html" 2> "$OUT/browser.log" || true
sed -n '/<pre id="result">/,/<\/pre>/p' "$OUT/browser-dom.html" | sed 's/<[^>]*>//g' | sed '/^$/d'
if ! grep -q "browser check passed" "$OUT/browser-dom.html"; then
  echo "web-deps-check: the browser check did not pass; its console said:" >&2
  grep "CONSOLE" "$OUT/browser.log" | sed 's/^[^"]*//' >&2 || true
  exit 1
fi
