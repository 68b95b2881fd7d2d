#!/usr/bin/env bash
# Builds the web player into build-web/site: the page (web/), veltro12.js + veltro12.wasm
# and the production's archive, ready for any static web server.
#
#   scripts/web.sh                      Veltro 12 (build/data.zip, built first when missing)
#   scripts/web.sh --data mine.zip      another production's archive (or a folder: zipped)
#   scripts/web.sh --serve [PORT]       then serve build-web/site on 127.0.0.1 (default 8080)
#
# The libraries come from scripts/web-deps.sh (into build-web/deps, cached), or from the
# prefix PYLON_WEB_DEPS_PREFIX names; the player is configured with emcmake into build-web/.
# Two compile jobs at most.
set -euo pipefail
CALLER_DIR="$PWD"
cd "$(dirname "$0")/.."
ROOT="$PWD"
BUILD="$ROOT/build-web"
SITE="$BUILD/site"
DATA=""
SERVE=""
PORT=8080
while [ $# -gt 0 ]; do
  case "$1" in
    --data)
      [ $# -ge 2 ] || { echo "web.sh: --data needs an archive or a folder" >&2; exit 1; }
      # Named from where the script was called.
      DATA="$(cd "$CALLER_DIR" && realpath -m "$2")"; shift 2 ;;
    --serve)
      SERVE=1; shift
      if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then PORT="$1"; shift; fi ;;
    -h|--help)
      sed -n '2,/^set /p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "web.sh: unknown argument: $1" >&2; exit 1 ;;
  esac
done
if [ -n "$DATA" ] && [ ! -e "$DATA" ]; then
  echo "web.sh: $DATA: no such archive or folder" >&2
  exit 1
fi

export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-/work}" CCACHE_DIR="${CCACHE_DIR:-/work/.ccache}"
# The libraries: built (or found up to date) by web-deps.sh, unless PYLON_WEB_DEPS_PREFIX
# names a prefix built elsewhere.
if [ -n "${PYLON_WEB_DEPS_PREFIX:-}" ]; then
  DEPS_PREFIX="$PYLON_WEB_DEPS_PREFIX"
else
  bash scripts/web-deps.sh "$BUILD"
  DEPS_PREFIX="$BUILD/deps/prefix"
fi

# The production's archive: the desktop build makes Veltro 12's.
if [ -z "$DATA" ]; then
  if [ ! -f build/data.zip ]; then
    echo "web.sh: build/data.zip is missing: building the desktop player and its content first"
    bash scripts/build.sh
  fi
  DATA="build/data.zip"
fi

emcmake cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPYLON_WEB_DEPS_PREFIX="$DEPS_PREFIX" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="/usr/bin/node;--no-experimental-fetch" > /dev/null
if command -v ccache > /dev/null; then export EM_COMPILER_WRAPPER=ccache; fi
cmake --build "$BUILD" --target veltro12 -j 2

rm -rf "$SITE"
mkdir -p "$SITE"
cp web/index.html web/player.js web/player.css "$SITE/"
cp "$BUILD/veltro12.js" "$BUILD/veltro12.wasm" "$SITE/"
if [ -d "$DATA" ]; then
  # A folder of the archive's files: zipped as they lie, without the folder's own name.
  (cd "$DATA" && zip -q -r -X -D "$SITE/data.zip" .)
else
  cp "$DATA" "$SITE/data.zip"
fi
echo "web.sh: $(du -sh "$SITE" | cut -f1) in $SITE:"
for f in veltro12.wasm veltro12.js data.zip index.html player.js player.css; do
  printf '  %-14s %8d bytes (%d gzipped)\n' "$f" "$(stat -c %s "$SITE/$f")" "$(gzip -9c "$SITE/$f" | wc -c)"
done

if [ -n "$SERVE" ]; then
  echo "web.sh: serving http://127.0.0.1:$PORT/ (Ctrl+C ends)"
  exec python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$SITE"
fi
