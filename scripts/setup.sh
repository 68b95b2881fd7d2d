#!/usr/bin/env bash
# Installs every Debian package that building, playing and testing Veltro 12 needs.
# Idempotent and non-interactive: packages already present are skipped by apt.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config git
  # tests, fuzzing and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
  # the reference GLSL compiler that checks every effect for the desktop and for GLSL ES
  glslang-tools
  # window, context, events, audio output
  libsdl2-dev
  # GL and its extension loader
  libglew-dev libgl-dev libgl1-mesa-dri libglu1-mesa-dev libegl-dev libegl-mesa0
  # scene file, and glTF scenes from 3D tools
  libprotobuf-dev protobuf-compiler libtinygltf-dev nlohmann-json3-dev libdraco-dev libmeshoptimizer-dev
  # images
  libdevil-dev
  # data archive
  libzip-dev zlib1g-dev zip
  # sound
  libvorbis-dev libogg-dev libkissfft-dev
  # capture
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libswresample-dev
  # tweak bars and start-up dialog
  libimgui-dev libgtk-3-dev
  # headless runs and checks
  xvfb xauth mesa-utils ffmpeg imagemagick xdotool sox python3-numpy parallel
  # install, package and its checks (manual pages, lintian, desktop entry, clean-root install)
  help2man lintian desktop-file-utils debootstrap man-db
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
