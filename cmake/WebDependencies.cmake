# The web player's libraries: the static WebAssembly builds that scripts/web-deps.sh makes from
# Debian's source packages, under PYLON_WEB_DEPS_PREFIX. They get the imported target names
# that cmake/Dependencies.cmake gives the desktop's pkg-config modules, so a target links
# PkgConfig::SDL2 (and the rest) the same way on both; only the desktop-only libraries (GLEW,
# DevIL, FFmpeg, GTK, ImGui, X11, ...) have no web counterpart here.
get_filename_component(_pylon_web_default_prefix "${CMAKE_CURRENT_LIST_DIR}/../build-web/deps/prefix" ABSOLUTE)
set(PYLON_WEB_DEPS_PREFIX "${_pylon_web_default_prefix}" CACHE PATH
    "Where scripts/web-deps.sh installed the web libraries (BUILD_DIR/deps/prefix)")

if(NOT EMSCRIPTEN)
  message(FATAL_ERROR "cmake/WebDependencies.cmake is for emscripten builds (emcmake cmake ...); the desktop build uses cmake/Dependencies.cmake")
endif()

# pylon_web_library(NAME LIBS <.a names> [INCLUDES <dirs>] [DEFINES <defs>] [DEPENDS <targets>]
#                   [LINK_OPTIONS <opts>])
# Defines PkgConfig::NAME as an INTERFACE IMPORTED target over the prefix's archives, in link
# order, and the NAME_FOUND / NAME_INCLUDE_DIRS / NAME_LINK_LIBRARIES variables pkg-config
# would have set. A missing file stops the configure step with the script to run.
function(pylon_web_library name)
  cmake_parse_arguments(ARG "" "" "LIBS;INCLUDES;DEFINES;DEPENDS;LINK_OPTIONS" ${ARGN})
  set(prefix "${PYLON_WEB_DEPS_PREFIX}")
  set(includes)
  foreach(dir IN LISTS ARG_INCLUDES)
    if(NOT IS_DIRECTORY "${prefix}/${dir}")
      message(FATAL_ERROR "${name} for the web: ${prefix}/${dir} is missing: run scripts/web-deps.sh (or set PYLON_WEB_DEPS_PREFIX to its BUILD_DIR/deps/prefix)")
    endif()
    list(APPEND includes "${prefix}/${dir}")
  endforeach()
  set(archives)
  foreach(lib IN LISTS ARG_LIBS)
    set(file "${prefix}/lib/lib${lib}.a")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${name} for the web: ${file} is missing: run scripts/web-deps.sh (or set PYLON_WEB_DEPS_PREFIX to its BUILD_DIR/deps/prefix)")
    endif()
    list(APPEND archives "${file}")
  endforeach()
  if(NOT TARGET PkgConfig::${name})
    add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
    set_target_properties(PkgConfig::${name} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${includes}")
    target_link_libraries(PkgConfig::${name} INTERFACE ${archives} ${ARG_DEPENDS})
    target_compile_definitions(PkgConfig::${name} INTERFACE ${ARG_DEFINES})
    target_link_options(PkgConfig::${name} INTERFACE ${ARG_LINK_OPTIONS})
  endif()
  set(${name}_FOUND TRUE PARENT_SCOPE)
  set(${name}_INCLUDE_DIRS "${includes}" PARENT_SCOPE)
  set(${name}_LINK_LIBRARIES "${archives}" PARENT_SCOPE)
endfunction()

pylon_web_library(ZLIB LIBS z INCLUDES include)
pylon_web_library(LIBZIP LIBS zip INCLUDES include DEPENDS PkgConfig::ZLIB)
# vorbisenc is left out on purpose: the player only decodes.
pylon_web_library(VORBIS LIBS vorbisfile vorbis ogg INCLUDES include)
pylon_web_library(KISSFFT LIBS kissfft-float INCLUDES include/kissfft DEFINES kiss_fft_scalar=float)
# libprotobuf.a was compiled with -fexceptions: code calling into it, and the final link, must
# use emscripten's exception model too, or a throw through it aborts instead of unwinding.
pylon_web_library(PROTOBUF LIBS protobuf INCLUDES include LINK_OPTIONS -fexceptions)
set_property(TARGET PkgConfig::PROTOBUF APPEND PROPERTY
  INTERFACE_COMPILE_OPTIONS $<$<COMPILE_LANGUAGE:CXX>:-fexceptions>)
# SDL2's emscripten backend creates a WebGL 2 context when asked for OpenGL ES 3, which the
# linked GL library only offers with MAX_WEBGL_VERSION=2. Its Web Audio backend calls two of
# emscripten's JavaScript helpers that only its own SDL port pulls in: without them the first
# SDL_OpenAudioDevice throws "autoResumeAudioContext is not defined". A target that sets
# DEFAULT_LIBRARY_FUNCS_TO_INCLUDE itself replaces this list, so must name both again. The
# names go through a file: CMake's escaping turns their "$" into "$$" on the link line.
set(PYLON_WEB_SDL2_JS_HELPERS "${CMAKE_BINARY_DIR}/pylon-web-sdl2-js-helpers.txt")
file(WRITE "${PYLON_WEB_SDL2_JS_HELPERS}" "$autoResumeAudioContext\n$dynCall\n")
pylon_web_library(SDL2 LIBS SDL2 INCLUDES include/SDL2 LINK_OPTIONS -sMAX_WEBGL_VERSION=2
                  "-sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${PYLON_WEB_SDL2_JS_HELPERS}")

# glTF scenes: tinygltf without its own image decoding (the importer keeps images undecoded;
# every file including tiny_gltf.h must see the same switches) and Draco's decoder.
pylon_web_library(TINYGLTF LIBS tinygltf INCLUDES include
                  DEFINES TINYGLTF_NO_STB_IMAGE TINYGLTF_NO_STB_IMAGE_WRITE)
pylon_web_library(DRACO LIBS draco INCLUDES include)

# Generated .pb.cc files work only with the runtime of their protoc's own version.
find_program(PROTOC_EXECUTABLE protoc REQUIRED)
execute_process(COMMAND "${PROTOC_EXECUTABLE}" --version OUTPUT_VARIABLE _pylon_protoc_version
                OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" _pylon_protoc_version "${_pylon_protoc_version}")
if(NOT EXISTS "${PYLON_WEB_DEPS_PREFIX}/lib/pkgconfig/protobuf.pc")
  message(FATAL_ERROR "${PYLON_WEB_DEPS_PREFIX}/lib/pkgconfig/protobuf.pc is missing: run scripts/web-deps.sh")
endif()
file(STRINGS "${PYLON_WEB_DEPS_PREFIX}/lib/pkgconfig/protobuf.pc" _pylon_web_protobuf_version
     REGEX "^Version:")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" _pylon_web_protobuf_version "${_pylon_web_protobuf_version}")
if(NOT _pylon_protoc_version STREQUAL _pylon_web_protobuf_version)
  message(FATAL_ERROR "${PROTOC_EXECUTABLE} is protobuf ${_pylon_protoc_version} but the web libprotobuf in ${PYLON_WEB_DEPS_PREFIX} is ${_pylon_web_protobuf_version}: run scripts/web-deps.sh again after upgrading protobuf-compiler")
endif()
set(PROTOBUF_VERSION "${_pylon_web_protobuf_version}")
