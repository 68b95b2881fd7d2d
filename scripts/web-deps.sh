#!/usr/bin/env bash
# Builds the libraries the web player links (zlib, libzip, libogg, libvorbis, kissfft, protobuf,
# SDL2, and for glTF scenes tinygltf and Draco's decoder) with emscripten, as static WebAssembly libraries, from this Debian release's own source
# packages (Debian's patches applied); protobuf at the exact version of the host's protoc.
#
#   scripts/web-deps.sh [BUILD_DIR]      (default: build-web at the top of the checkout)
#
# Everything lands in BUILD_DIR/deps: downloads/ and src/ (the source packages), build/ (build
# trees), logs/ (one log per library), stamps/, build-times.txt and prefix/{include,lib} (what
# cmake/WebDependencies.cmake points the engine at). A library is rebuilt only when its source
# package version, this script or the emscripten version changed, so a second run with
# everything built takes seconds. Run as root (or with sudo) on Debian 12 or 13; it needs
# nothing but Debian's archive.
set -euo pipefail
shopt -s inherit_errexit

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SCRIPT="$ROOT/scripts/web-deps.sh"
PRINT_DEB_SRC=0
case "${1:-}" in
  --print-deb-src) PRINT_DEB_SRC=1; shift ;;
  -h|--help) sed -n '2,13p' "$SCRIPT" | sed 's/^# \{0,1\}//'; exit 0 ;;
  -*) echo "web-deps: unknown option $1 (usage: scripts/web-deps.sh [BUILD_DIR])" >&2; exit 2 ;;
esac
[ $# -le 1 ] || { echo "web-deps: one BUILD_DIR at most (usage: scripts/web-deps.sh [BUILD_DIR])" >&2; exit 2; }
if [ $# -gt 0 ]; then BUILD_DIR="$(realpath -m "$1")"; else BUILD_DIR="$ROOT/build-web"; fi
DEPS="$BUILD_DIR/deps"
SRC="$DEPS/src"
DOWNLOADS="$DEPS/downloads"
TREES="$DEPS/build"
LOGS="$DEPS/logs"
STAMPS="$DEPS/stamps"
PREFIX="$DEPS/prefix"
JOBS=2   # the build machines are shared: never more than two compile jobs

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

say() { printf 'web-deps: %s\n' "$*"; }
die() { printf 'web-deps: error: %s\n' "$*" >&2; exit 1; }

# ---------------------------------------------------------------------------------------------
# 1. Host packages.
# nlohmann-json3-dev and libstb-dev are header-only and the same on every architecture: the
# web build includes them where Debian installs them.
HOST_PACKAGES=(emscripten nodejs dpkg-dev cmake make protobuf-compiler ccache nlohmann-json3-dev libstb-dev)
missing=()
for p in "${HOST_PACKAGES[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ] && [ "$PRINT_DEB_SRC" = 0 ]; then
  say "installing ${missing[*]}"
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# ---------------------------------------------------------------------------------------------
# 2. Source packages. apt needs deb-src entries for the archive and release this machine
# already installs from; they go into files of their own so the existing configuration is
# left exactly as it was. (WEB_DEPS_APT_ETC and WEB_DEPS_OS_RELEASE point elsewhere for
# scripts/web-deps-check/deb-src-test.sh, with --print-deb-src.)
APT_ETC="${WEB_DEPS_APT_ETC:-/etc/apt}"
OS_RELEASE="${WEB_DEPS_OS_RELEASE:-/etc/os-release}"
CODENAME="$(. "$OS_RELEASE" && echo "${VERSION_CODENAME:-}")"
[ -n "$CODENAME" ] || die "$OS_RELEASE names no VERSION_CODENAME: cannot tell which Debian release to take sources from"
SRC_LIST_822="$APT_ETC/sources.list.d/pylon-web-deps-src.sources"
SRC_LIST_ONELINE="$APT_ETC/sources.list.d/pylon-web-deps-src.list"
APT_ETC_OPT=(-o "Dir::Etc=$APT_ETC")

# The suite names that mean this release: its codename and codename-*, and any alias
# ("stable", "stable-updates") whose Release file, fetched already, names the codename.
release_suites() {
  {
    echo "$CODENAME"
    apt-get "${APT_ETC_OPT[@]}" indextargets --format '$(RELEASE) $(CODENAME)' 'Created-By: Packages' 2>/dev/null |
      awk -v cn="$CODENAME" '$2 == cn || index($2, cn "-") == 1 { print $1 }' || true
  } | sort -u | tr '\n' ' '
}
SUITE_MATCH='function ours_suite(x,  i, n, s) {
  if (x == cn || index(x, cn "-") == 1) return 1
  n = split(suites, s, " "); for (i = 1; i <= n; i++) if (x == s[i]) return 1
  return 0
}'

# deb822 stanzas: every enabled "Types: deb" stanza whose Suites name this release (bookworm,
# bookworm-updates, bookworm-security, ...) is copied with "Types: deb-src". Third-party
# repositories (their suites are not the release's) are left out: they may have no sources.
deb822_src_stanzas() {
  local f suites
  suites="$(release_suites)"
  for f in "$APT_ETC"/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$SRC_LIST_822" ] || continue
    awk -v cn="$CODENAME" -v suites="$suites" "$SUITE_MATCH"'
      function flush(  i) {
        if (n && deb && !src && !off && ours) {
          print "Types: deb-src"
          for (i = 1; i <= n; i++) print lines[i]
          print ""
        }
        n = 0; deb = src = off = ours = 0
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      {
        field = tolower($1)
        if (field == "types:") {
          for (i = 2; i <= NF; i++) { if ($i == "deb") deb = 1; if ($i == "deb-src") src = 1 }
          next
        }
        if (field == "enabled:" && tolower($2) ~ /^(no|false|off)/) off = 1
        if (field == "suites:") for (i = 2; i <= NF; i++) if (ours_suite($i)) ours = 1
        lines[++n] = $0
      }
      END { flush() }' "$f"
  done
}

# One-line sources.list entries: "deb [options] URI suite components" for this release.
oneline_src_entries() {
  local f suites
  suites="$(release_suites)"
  for f in "$APT_ETC/sources.list" "$APT_ETC"/sources.list.d/*.list; do
    [ -f "$f" ] && [ "$f" != "$SRC_LIST_ONELINE" ] || continue
    awk -v cn="$CODENAME" -v suites="$suites" "$SUITE_MATCH"'
      $1 != "deb" { next }
      {
        rest = $0; sub(/^[ \t]*deb[ \t]+/, "", rest)
        opts = ""
        if (rest ~ /^\[/) { opts = substr(rest, 1, index(rest, "]")) " "; rest = substr(rest, index(rest, "]") + 1) }
        sub(/^[ \t]+/, "", rest)
        split(rest, w, /[ \t]+/)
        if (ours_suite(w[2])) print "deb-src " opts rest
      }' "$f"
  done
}

# Entries for this release's sources that apt has already, other than the ones added here:
# any that apt lists as fetched, and any enabled deb-src entry in the files.
existing_deb_src() {
  local f suites
  suites="$(release_suites)"
  apt-get "${APT_ETC_OPT[@]}" indextargets --format '$(SOURCESENTRY) $(RELEASE)' 'Created-By: Sources' 2>/dev/null |
    grep -v 'pylon-web-deps-src' | awk -v cn="$CODENAME" -v suites="$suites" "$SUITE_MATCH"'ours_suite($2)' || true
  for f in "$APT_ETC"/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$SRC_LIST_822" ] || continue
    awk -v cn="$CODENAME" -v suites="$suites" "$SUITE_MATCH"'
      function flush() { if (src && !off && ours) print FILENAME; src = off = ours = 0 }
      /^[ \t]*$/ { flush(); next }
      tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb-src") src = 1 }
      tolower($1) == "enabled:" && tolower($2) ~ /^(no|false|off)/ { off = 1 }
      tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if (ours_suite($i)) ours = 1 }
      END { flush() }' "$f"
  done
  for f in "$APT_ETC/sources.list" "$APT_ETC"/sources.list.d/*.list; do
    [ -f "$f" ] && [ "$f" != "$SRC_LIST_ONELINE" ] || continue
    awk -v cn="$CODENAME" -v suites="$suites" "$SUITE_MATCH"'
      $1 == "deb-src" {
        rest = $0; sub(/^[ \t]*deb-src[ \t]+/, "", rest)
        if (rest ~ /^\[/) rest = substr(rest, index(rest, "]") + 1)
        sub(/^[ \t]+/, "", rest); split(rest, w, /[ \t]+/)
        if (ours_suite(w[2])) print FILENAME
      }' "$f"
  done
}

HEADER="# Added by PylonLib's scripts/web-deps.sh: the sources of the Debian release installed from."

# Prints what configure_deb_src would write, changing nothing.
print_deb_src() {
  local want
  if [ -n "$(existing_deb_src)" ]; then echo "deb-src entries for $CODENAME already configured"; return; fi
  want="$(deb822_src_stanzas)"
  [ -z "$want" ] || printf '== %s\n%s\n' "$SRC_LIST_822" "$want"
  want="$(oneline_src_entries)"
  [ -z "$want" ] || printf '== %s\n%s\n' "$SRC_LIST_ONELINE" "$want"
  [ -n "$(deb822_src_stanzas)$want" ] ||
    die "no apt entry installs from Debian $CODENAME (checked $APT_ETC/sources.list and $APT_ETC/sources.list.d/): cannot add its deb-src"
}

# Writes $2 (after the header) to file $1 unless it holds that already; says whether it wrote.
write_if_changed() {
  local text="$HEADER
$2"
  [ -f "$1" ] && [ "$(cat "$1")" = "$text" ] && return 1
  printf '%s\n' "$text" | $SUDO tee "$1" > /dev/null
}

configure_deb_src() {
  local changed=0 want
  if [ -n "$(existing_deb_src)" ]; then
    say "deb-src entries for $CODENAME already configured"
  else
    want="$(deb822_src_stanzas)"
    if [ -n "$want" ] && write_if_changed "$SRC_LIST_822" "$want"; then changed=1; fi
    want="$(oneline_src_entries)"
    if [ -n "$want" ] && write_if_changed "$SRC_LIST_ONELINE" "$want"; then changed=1; fi
    [ -f "$SRC_LIST_822" ] || [ -f "$SRC_LIST_ONELINE" ] ||
      die "no apt entry installs from Debian $CODENAME (checked $APT_ETC/sources.list and $APT_ETC/sources.list.d/): cannot add its deb-src"
  fi
  # The Sources indexes are fetched once: a cached re-run must not wait on the network.
  if [ "$changed" = 1 ] || [ -z "$(apt-cache showsrc --only-source zlib 2>/dev/null)" ]; then
    say "apt-get update (source indexes)"
    $SUDO apt-get update -q > /dev/null || die "apt-get update failed with the deb-src entries in $SRC_LIST_822 / $SRC_LIST_ONELINE"
  fi
}

if [ "$PRINT_DEB_SRC" = 1 ]; then print_deb_src; exit 0; fi
configure_deb_src

# Source package $1, checked to be known to apt here.
source_name() {
  [ -n "$(apt-cache showsrc --only-source "$1" 2>/dev/null)" ] ||
    die "apt knows no source package $1 on Debian $CODENAME (after apt-get update with deb-src entries)"
  echo "$1"
}

# The versions of source package $1 in this release's suites, highest first.
source_versions() {
  local v best=() out
  out="$(apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p')"
  for v in $out; do
    local i=0
    while [ "$i" -lt "${#best[@]}" ] && dpkg --compare-versions "${best[$i]}" ge "$v"; do i=$((i + 1)); done
    best=("${best[@]:0:$i}" "$v" "${best[@]:$i}")
  done
  [ "${#best[@]}" -gt 0 ] && printf '%s\n' "${best[@]}" | uniq
}

# ---------------------------------------------------------------------------------------------
# 3. Building. Flags shared by every library: -O2, C++ exceptions through emscripten's
# JavaScript-based unwinding (-fexceptions, not -fwasm-exceptions: the engine reports bad input
# by throwing, and every object in one link must agree), no threads.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"   # emscripten's JS tools need acorn from there
# Configure checks run emcc hundreds of times; its toolchain sanity check costs each half a
# second and finds nothing new after the first.
emcc -v > /dev/null 2>&1 || die "emcc does not run: try emcc -v"
export EMCC_SKIP_SANITY_CHECK=1
EMULATOR="/usr/bin/node;--no-experimental-fetch"     # Node 20's fetch cannot load a local .wasm
C_FLAGS="-O2"
CXX_FLAGS="-O2 -fexceptions"
if command -v ccache > /dev/null; then
  # An absolute path: emscripten 3.1.69 (Debian 13) execs the wrapper without a PATH search.
  export EM_COMPILER_WRAPPER="$(command -v ccache)"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}"
fi
EMCC_VERSION="$(emcc --version 2>/dev/null | sed -n 1p)"
SCRIPT_HASH="$(sha256sum "$SCRIPT" | cut -c1-16)"

mkdir -p "$SRC" "$DOWNLOADS" "$TREES" "$LOGS" "$STAMPS" "$PREFIX/include" "$PREFIX/lib"

CURRENT_LIB=""
CURRENT_LOG=""
on_exit() {
  local rc=$?
  if [ "$rc" -ne 0 ] && [ -n "$CURRENT_LIB" ]; then
    printf 'web-deps: error: building %s failed; read %s\n' "$CURRENT_LIB" "$CURRENT_LOG" >&2
    [ -f "$CURRENT_LOG" ] && tail -n 25 "$CURRENT_LOG" | sed 's/^/  | /' >&2
  fi
}
trap on_exit EXIT

# The unpacked tree of source package $1 at version $2: without the epoch, as colons break
# Makefiles.
src_dir() { echo "$SRC/$1-${2#*:}"; }

# Downloads and unpacks source package $1 at version $2 (Debian patches applied) into
# $SRC/$1-$2. A version the archive lists but does not serve (a mirror without the security
# suite's sources, say) is marked unavailable, so the next lower one is taken from then on.
unpack() {
  local pkg="$1" ver="$2" dir
  dir="$(src_dir "$1" "$2")"
  [ -f "$dir/.unpacked" ] && return 0
  rm -rf "$dir"
  mkdir -p "$DOWNLOADS/$pkg"
  # apt fetches as user _apt: let it write here, or it falls back to root with a warning.
  chmod 777 "$DOWNLOADS/$pkg"
  if ! (cd "$DOWNLOADS/$pkg" && apt-get source --download-only -q "$pkg=$ver") >> "$CURRENT_LOG" 2>&1; then
    touch "$DOWNLOADS/$pkg/$ver.unavailable"
    return 1
  fi
  dpkg-source -x "$DOWNLOADS/$pkg/${pkg}_${ver#*:}.dsc" "$dir" >> "$CURRENT_LOG" 2>&1
  # dpkg-source leaves a copy of the upstream tarball beside the tree; downloads/ has it.
  rm -f "$SRC/${pkg}_"*
  touch "$dir/.unpacked"
}

# emcmake with the settings every CMake-built library shares.
em_cmake() {
  local src="$1" tree="$2"; shift 2
  rm -rf "$tree"
  emcmake cmake -S "$src" -B "$tree" -G "Unix Makefiles" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$C_FLAGS -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELEASE="$CXX_FLAGS -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_INSTALL_LIBDIR=lib \
    -DCMAKE_FIND_ROOT_PATH="$PREFIX" \
    -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$EMULATOR" \
    -DBUILD_SHARED_LIBS=OFF \
    "$@"
}

# ---- zlib: the library's .c files compiled directly (Debian's source package builds it with
# its own rules, and zlib's configure edits zconf.h inside the unpacked tree), with the two
# settings that configure would write into zconf.h for emscripten's libc.
build_zlib() {
  local src="$1" tree="$TREES/zlib" f objs=()
  rm -rf "$tree"; mkdir -p "$tree"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
           inftrees trees uncompr zutil; do
    emcc $C_FLAGS -DHAVE_UNISTD_H -DHAVE_STDARG_H -c "$src/$f.c" -I"$src" -o "$tree/$f.o"
    objs+=("$tree/$f.o")
  done
  rm -f "$PREFIX/lib/libz.a"
  emar rcs "$PREFIX/lib/libz.a" "${objs[@]}"
  install -m 644 "$src/zlib.h" "$src/zconf.h" "$PREFIX/include/"
}

# ---- libzip over zlib only: no other compression, no crypto backends, no tools or tests.
build_libzip() {
  local src="$1" tree="$TREES/libzip"
  em_cmake "$src" "$tree" \
    -DZLIB_INCLUDE_DIR="$PREFIX/include" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DBUILD_OSSFUZZ=OFF
  cmake --build "$tree" -j "$JOBS"
  cmake --install "$tree"
}

build_libogg() {
  local src="$1" tree="$TREES/libogg"
  em_cmake "$src" "$tree" -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
  cmake --build "$tree" -j "$JOBS"
  cmake --install "$tree"
}

# ---- libvorbis: the decoder and vorbisfile only; the player never encodes.
build_libvorbis() {
  local src="$1" tree="$TREES/libvorbis"
  em_cmake "$src" "$tree" -DOGG_INCLUDE_DIR="$PREFIX/include" -DOGG_LIBRARY="$PREFIX/lib/libogg.a" \
    -DBUILD_TESTING=OFF
  cmake --build "$tree" -j "$JOBS" --target vorbis vorbisfile
  install -d "$PREFIX/include/vorbis"
  install -m 644 "$src/include/vorbis/codec.h" "$src/include/vorbis/vorbisfile.h" "$PREFIX/include/vorbis/"
  install -m 644 "$(find "$tree" -name libvorbis.a)" "$(find "$tree" -name libvorbisfile.a)" "$PREFIX/lib/"
}

# ---- kissfft, float flavour, named as on the desktop (libkissfft-float, headers in kissfft/).
build_kissfft() {
  local src="$1" tree="$TREES/kissfft"
  em_cmake "$src" "$tree" -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=ON -DKISSFFT_OPENMP=OFF \
    -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF -DKISSFFT_PKGCONFIG=ON
  cmake --build "$tree" -j "$JOBS"
  cmake --install "$tree"
}

# ---- protobuf: the full runtime (TextFormat lives outside the lite one); protoc comes from the
# host's protobuf-compiler, whose version this source package matches.
build_protobuf() {
  local src="$1" tree="$TREES/protobuf" cmakedir="$1"
  [ -f "$src/CMakeLists.txt" ] || cmakedir="$src/cmake"
  em_cmake "$cmakedir" "$tree" -Dprotobuf_BUILD_TESTS=OFF -Dprotobuf_BUILD_CONFORMANCE=OFF \
    -Dprotobuf_BUILD_EXAMPLES=OFF -Dprotobuf_BUILD_PROTOC_BINARIES=OFF -Dprotobuf_BUILD_LIBPROTOC=OFF \
    -Dprotobuf_BUILD_SHARED_LIBS=OFF -Dprotobuf_WITH_ZLIB=OFF -Dprotobuf_INSTALL=ON
  cmake --build "$tree" -j "$JOBS" --target libprotobuf libprotobuf-lite
  cmake --install "$tree"
}

# ---- SDL2: emscripten video (WebGL contexts), events, timers and Web Audio; no threads.
# SDL ships a fixed configuration for emscripten (include/SDL_config_emscripten.h, which
# include/SDL_config.h picks for __EMSCRIPTEN__), so its sources are compiled directly: SDL's
# CMake would reach the same drivers after some 130 configure checks, each an emcc link, a
# quarter of an hour on two cores. The file set is the one SDL's CMake compiles for emscripten:
# the generic code, every render backend (each compiles to nothing unless its driver is on),
# and the emscripten, dummy and generic backends. Without the fixed configuration (a future
# SDL), its CMake build is used instead.
SDL_DIRS=(. atomic audio cpuinfo dynapi events file haptic hidapi joystick libm locale misc power
          render render/* sensor stdlib thread timer video
          audio/disk audio/dummy audio/emscripten filesystem/emscripten haptic/dummy
          joystick/emscripten joystick/virtual loadso/dlopen locale/emscripten misc/emscripten
          power/emscripten sensor/dummy thread/generic timer/unix
          video/dummy video/emscripten video/offscreen video/yuv2rgb)
build_libsdl2() {
  local src="$1" tree="$TREES/libsdl2" d f objs=() sources=() version
  if [ ! -f "$src/include/SDL_config_emscripten.h" ]; then
    build_libsdl2_cmake "$src"
    return
  fi
  rm -rf "$tree"; mkdir -p "$tree"
  for d in "${SDL_DIRS[@]}"; do
    for f in "$src"/src/$d/*.c; do [ -f "$f" ] && sources+=("${f#"$src/src/"}"); done
  done
  version="$(awk '/^#define SDL_(MAJOR_VERSION|MINOR_VERSION|PATCHLEVEL)[ \t]/ {printf "%s%s", sep, $3; sep="."}' "$src/include/SDL_version.h")"
  echo "SDL $version: ${#sources[@]} source files"
  # Two compiles at a time; each object goes under the tree by its path in src/.
  printf '%s\n' "${sources[@]}" |
    xargs -P "$JOBS" -I{} sh -c 'mkdir -p "$(dirname "$2/$3.o")" &&
      emcc $4 -w -fno-strict-aliasing -fvisibility=hidden -DSDL_STATIC_LIB -I"$1/include" \
        -idirafter "$1/src/video/khronos" -c "$1/src/$3" -o "$2/$3.o" ||
      { echo "emcc failed on $1/src/$3"; exit 255; }' sh "$src" "$tree" {} "$C_FLAGS"
  for f in "${sources[@]}"; do objs+=("$tree/$f.o"); done
  rm -f "$PREFIX/lib/libSDL2.a"
  emar rcs "$PREFIX/lib/libSDL2.a" "${objs[@]}"
  # Whatever an earlier CMake build of SDL installed goes, so only this build's files remain.
  rm -rf "$PREFIX/include/SDL2" "$PREFIX/lib/cmake/SDL2" "$PREFIX/lib/libSDL2main.a"
  install -d "$PREFIX/include/SDL2"
  install -m 644 "$src"/include/*.h "$PREFIX/include/SDL2/"
  mkdir -p "$PREFIX/lib/pkgconfig"
  cat > "$PREFIX/lib/pkgconfig/sdl2.pc" << EOF
prefix=$PREFIX
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: sdl2
Description: Simple DirectMedia Layer, emscripten build (video, events, timers, audio; no threads)
Version: $version
Libs: -L\${libdir} -lSDL2
Cflags: -I\${includedir}/SDL2
EOF
}

build_libsdl2_cmake() {
  local src="$1" tree="$TREES/libsdl2"
  em_cmake "$src" "$tree" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
    -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF -DSDL_VIDEO=ON -DSDL_EVENTS=ON -DSDL_TIMERS=ON -DSDL_AUDIO=ON
  cmake --build "$tree" -j "$JOBS"
  cmake --install "$tree"
}

# ---- tinygltf: its one source file, without its stb_image loader (the importer hands images
# on undecoded, and the engine links its own stb_image), over Debian's nlohmann-json headers.
TINYGLTF_DEFINES="-DTINYGLTF_NO_STB_IMAGE -DTINYGLTF_NO_STB_IMAGE_WRITE"
build_tinygltf() {
  local src="$1" tree="$TREES/tinygltf"
  rm -rf "$tree" "$PREFIX/include/nlohmann"; mkdir -p "$tree"
  cp -r /usr/include/nlohmann "$PREFIX/include/"
  em++ $CXX_FLAGS -std=c++17 $TINYGLTF_DEFINES -I"$src" -I"$PREFIX/include" -c "$src/tiny_gltf.cc" -o "$tree/tiny_gltf.o"
  rm -f "$PREFIX/lib/libtinygltf.a"
  emar rcs "$PREFIX/lib/libtinygltf.a" "$tree/tiny_gltf.o"
  install -m 644 "$src/tiny_gltf.h" "$PREFIX/include/"
}

# ---- Draco: the static library only (its JavaScript decoder modules and tools are not wanted).
# Its CMake checks that $EMSCRIPTEN names emscripten's directory. Its install rule wants the
# tools too, so the headers and the archive are copied by hand.
build_draco() {
  local src="$1" tree="$TREES/draco"
  local EMSCRIPTEN
  EMSCRIPTEN="$(dirname "$(realpath "$(command -v emcc)")")"
  export EMSCRIPTEN
  em_cmake "$src" "$tree" -DDRACO_JS_GLUE=OFF -DDRACO_TESTS=OFF -DDRACO_TRANSCODER_SUPPORTED=OFF
  cmake --build "$tree" -j "$JOBS" --target draco_static
  rm -rf "$PREFIX/include/draco"
  (cd "$src/src" && find draco -name '*.h' -exec install -D -m 644 {} "$PREFIX/include/{}" \;)
  install -m 644 "$tree/draco/draco_features.h" "$PREFIX/include/draco/"
  install -m 644 "$tree/libdraco.a" "$PREFIX/lib/"
}

# Builds library $1 from source package $2, at the highest of the versions in $3 (one a line)
# that the archive serves, unless its stamp says it is built already. The key covers the
# stamps of the libraries it builds against ($4...), so those rebuild it too.
build() {
  local lib="$1" pkg="$2" versions="$3"; shift 3
  local key dep stamp="$STAMPS/$lib.stamp" start ver="" v skipped="" log_started=0
  CURRENT_LIB="$lib"; CURRENT_LOG="$LOGS/$lib.log"
  while :; do
    ver=""
    for v in $versions; do
      if [ -f "$DOWNLOADS/$pkg/$v.unavailable" ]; then skipped="$skipped $v"; else ver="$v"; break; fi
    done
    [ -n "$ver" ] || die "$lib: the archive serves none of the versions of source package $pkg it lists ($(echo $versions)); read $CURRENT_LOG (remove $DOWNLOADS/$pkg/*.unavailable to try them again)"
    key="$pkg $ver script:$SCRIPT_HASH $EMCC_VERSION"
    for dep in "$@"; do key="$key | $(cat "$STAMPS/$dep.stamp")"; done
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then
      say "$lib: up to date ($pkg $ver)"
      CURRENT_LIB=""
      return
    fi
    [ "$log_started" = 1 ] || : > "$CURRENT_LOG"
    log_started=1
    if unpack "$pkg" "$ver"; then break; fi
    say "$lib: $pkg $ver is listed but could not be downloaded (see $CURRENT_LOG); trying the next lower version"
  done
  [ -z "$skipped" ] || say "$lib: taking $ver: the archive does not serve$skipped"
  say "$lib: building $pkg $ver (log: $CURRENT_LOG)"
  start=$SECONDS
  rm -f "$stamp"
  "build_$lib" "$(src_dir "$pkg" "$ver")" >> "$CURRENT_LOG" 2>&1
  printf '%s\n' "$key" > "$stamp"
  say "$lib: built in $((SECONDS - start)) s"
  printf '%s %s %s: %d s\n' "$(date -u +%FT%TZ)" "$pkg" "$ver" "$((SECONDS - start))" >> "$DEPS/build-times.txt"
  CURRENT_LIB=""
}

# The runtime must be the host protoc's own version: generated .pb.cc files check it.
PROTOC_SOURCE_VERSION="$(dpkg-query -W -f='${source:Version}' protobuf-compiler)"

total_start=$SECONDS
declare -A PKG VERSIONS
for lib in zlib libzip libogg libvorbis kissfft protobuf libsdl2 tinygltf draco; do
  PKG[$lib]="$(source_name "$lib")"
  VERSIONS[$lib]="$(source_versions "${PKG[$lib]}")" || die "$lib: apt knows no version of source package ${PKG[$lib]}"
done
if ! grep -qxF "$PROTOC_SOURCE_VERSION" <<< "${VERSIONS[protobuf]}"; then
  die "protobuf: the host's protoc is $PROTOC_SOURCE_VERSION but apt offers the protobuf sources $(echo ${VERSIONS[protobuf]}) only: upgrade protobuf-compiler (apt-get install --only-upgrade protobuf-compiler) and run again"
fi
VERSIONS[protobuf]="$PROTOC_SOURCE_VERSION"

build zlib      "${PKG[zlib]}"      "${VERSIONS[zlib]}"
build libzip    "${PKG[libzip]}"    "${VERSIONS[libzip]}" zlib
build libogg    "${PKG[libogg]}"    "${VERSIONS[libogg]}"
build libvorbis "${PKG[libvorbis]}" "${VERSIONS[libvorbis]}" libogg
build kissfft   "${PKG[kissfft]}"   "${VERSIONS[kissfft]}"
build protobuf  "${PKG[protobuf]}"  "${VERSIONS[protobuf]}"
build libsdl2   "${PKG[libsdl2]}"   "${VERSIONS[libsdl2]}"
build tinygltf  "${PKG[tinygltf]}"  "${VERSIONS[tinygltf]}"
build draco     "${PKG[draco]}"     "${VERSIONS[draco]}"

say "done in $((SECONDS - total_start)) s: $PREFIX"
