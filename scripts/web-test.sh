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
export LIBGL_ALWAYS_SOFTWARE=1
cd tests/web
node --test --test-concurrency=1 ./*.test.mjs
