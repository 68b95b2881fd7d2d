# Every external library comes from Debian's packages (scripts/setup.sh installs them)
# and is found through pkg-config, so that the build sees exactly what is installed.
find_package(PkgConfig REQUIRED)
find_package(OpenGL REQUIRED COMPONENTS OpenGL GLX EGL)
find_package(Threads REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(GLEW REQUIRED IMPORTED_TARGET glew)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(PROTOBUF REQUIRED IMPORTED_TARGET protobuf)
pkg_check_modules(DEVIL REQUIRED IMPORTED_TARGET IL)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
pkg_check_modules(KISSFFT REQUIRED IMPORTED_TARGET kissfft-float)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil libswresample)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(TINYGLTF REQUIRED IMPORTED_TARGET tinygltf)
pkg_check_modules(DRACO REQUIRED IMPORTED_TARGET draco)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)

find_program(PROTOC_EXECUTABLE protoc REQUIRED)

# Dear ImGui ships as a static library (with its SDL2 and OpenGL2 backends) over Debian's stb.
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
add_library(imgui_static INTERFACE)
target_link_libraries(imgui_static INTERFACE PkgConfig::IMGUI PkgConfig::SDL2 OpenGL::GL)
target_include_directories(imgui_static INTERFACE ${IMGUI_INCLUDEDIR}/imgui/backends /usr/include/imgui/backends)
# Its SDL2 backend's header is imgui_impl_sdl.h up to 1.89 (Debian 12) and imgui_impl_sdl2.h
# from 1.90 (Debian 13); the functions inside are the same.
find_file(PYLON_IMGUI_SDL2_HEADER NAMES imgui_impl_sdl2.h imgui_impl_sdl.h
          PATHS ${IMGUI_INCLUDEDIR}/imgui/backends /usr/include/imgui/backends NO_DEFAULT_PATH)
if(NOT PYLON_IMGUI_SDL2_HEADER)
  message(FATAL_ERROR "Dear ImGui's SDL2 backend header (imgui_impl_sdl2.h or imgui_impl_sdl.h) is missing: scripts/setup.sh installs libimgui-dev")
endif()
get_filename_component(PYLON_IMGUI_SDL2_HEADER_NAME "${PYLON_IMGUI_SDL2_HEADER}" NAME)
target_compile_definitions(imgui_static INTERFACE PYLON_IMGUI_SDL2_HEADER=<${PYLON_IMGUI_SDL2_HEADER_NAME}>)
