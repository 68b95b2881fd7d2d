#!/usr/bin/env bash
# Builds the web player (scripts/web.sh), serves it on 127.0.0.1 and runs the browser tests
# of tests/web in Chromium with software WebGL. Screenshots of the page go to
# $PYLON_WEB_SHOTS when it is set.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
# The deb-src entries web-deps.sh adds, on made-up Debian 12 and 13 apt configurations.
bash scripts/web-deps-check/deb-src-test.sh
bash scripts/web.sh
SITE="$ROOT/build-web/site"
# A damaged archive for the tests' message: the real one cut short.
head -c 100000 "$SITE/data.zip" > "$SITE/damaged.zip"
# Productions whose scene parts are glTF files, served beside Veltro 12: Lanterns, and one made
# with pylon new whose scene is the Draco-compressed box of the shared glTF samples (a .gltf
# with its buffer beside it in the archive), when a shared folder above the checkout has them.
bash productions/lanterns/build.sh --pack-only "$SITE/lanterns.zip" "$ROOT/build/pylon" > /dev/null
DRACO_BOX=""
for dir in "$ROOT" "$ROOT/.." "$ROOT/../.." "$ROOT/../../.."; do
  if [ -f "$dir/shared/gltf-samples/Box/glTF-Draco/Box.gltf" ]; then DRACO_BOX="$dir/shared/gltf-samples/Box/glTF-Draco"; break; fi
done
if [ -n "$DRACO_BOX" ]; then
  BOX="$ROOT/build-web/draco-box"
  rm -rf "$BOX"
  "$ROOT/build/pylon" new "$BOX" > /dev/null
  rm "$BOX/scene.gltf"
  cp "$DRACO_BOX/Box.gltf" "$DRACO_BOX/Box.bin" "$BOX/"
  sed -i 's|gltf: "scene.gltf"|gltf: "Box.gltf"|; /camera_name:/d' "$BOX/production.txtpb"
  "$ROOT/build/pylon" pack "$BOX" "$SITE/draco.zip" > /dev/null
  "$ROOT/build/pylon" check "$SITE/draco.zip" > /dev/null
  export PYLON_WEB_DRACO="$SITE/draco.zip"
else
  echo "web-test: no shared/gltf-samples above the checkout: the Draco-compressed box is left out"
fi

if ! command -v chromium > /dev/null; then
  apt-get install -y -q chromium > /dev/null
fi
(cd tests/web && npm ci --no-audit --no-fund --silent)

PORT="${PYLON_WEB_PORT:-8765}"
python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$SITE" > "$ROOT/build-web/server.log" 2>&1 &
SERVER=$!
trap 'kill "$SERVER" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  if python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$PORT/index.html')" 2>/dev/null; then break; fi
  sleep 0.1
done

export PYLON_WEB_URL="http://127.0.0.1:$PORT/"
export PYLON_DESKTOP_PLAYER="$ROOT/build/veltro12"
export PYLON_WEB_DATA="$SITE/data.zip"
export PYLON_WEB_LANTERNS="$SITE/lanterns.zip"
export LIBGL_ALWAYS_SOFTWARE=1
cd tests/web
node --test --test-concurrency=1 ./*.test.mjs
