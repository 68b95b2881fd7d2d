# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh) packs what the
# install rules of Install.cmake place, with the runtime dependencies worked out from the
# programs' shared libraries by dpkg-shlibdeps.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "veltro12")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "PylonLib")
set(CPACK_PACKAGE_CONTACT "${PYLON_MAINTAINER}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "veltro12")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PYLON_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The first line is the synopsis, the rest the long description; CPack indents each line of
# it by one space, and a line holding only "." separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "real-time demo: a flight through an animated night city
Veltro 12 is a 125-second real-time demo: a camera flight through an
animated night city with two streams of flying cars, bloom, fades and a
white flash on every beat of its synthesised soundtrack.
.
It runs on PylonLib, a small OpenGL 2.1 demo engine, with any GL driver,
including Mesa's software rasteriser. The package holds the player
veltro12, its data archive, the content tool pylon, icons, a desktop
entry and manual pages.")
# The player draws through OpenGL, which dpkg-shlibdeps sees only as libGL; Mesa's drivers
# make it work on any machine.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")

include(CPack)
