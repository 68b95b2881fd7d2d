# Install rules: the programs in bin/, the production's archive in share/veltro12/ (where the
# player looks for it relative to its own folder), icons in the freedesktop hicolor theme, the
# desktop entry, manual pages made from the programs' own --help, and the Debian doc files.
include(GNUInstallDirs)
# Debian keeps a package's doc files under its package name.
set(PYLON_DOC_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/doc/veltro12)

# The release's date: the changelog's entry and the manual pages' date, so that a package
# built from the same sources has the same bytes whenever it is built.
set(PYLON_RELEASE_EPOCH 1796774400)  # 2026-12-09 00:00 UTC
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${PYLON_RELEASE_EPOCH})
string(TIMESTAMP PYLON_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")

set(PYLON_MAINTAINER "PylonLib maintainers <maintainers@users.noreply.c-seed-a2f1e337.example>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

install(TARGETS veltro12 pylon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/data.zip DESTINATION ${CMAKE_INSTALL_DATADIR}/veltro12)

# Icons: drawn by `pylon icon` from the same code as the window icon.
set(PYLON_ICON_SIZES 16 22 24 32 48 64 128 256)
set(PYLON_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(PYLON_ICON_FILES)
foreach(size ${PYLON_ICON_SIZES})
  set(icon ${PYLON_ICON_DIR}/hicolor/${size}x${size}/apps/veltro12.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PYLON_ICON_DIR}/hicolor/${size}x${size}/apps
    COMMAND pylon icon ${size} ${icon}
    DEPENDS pylon
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  list(APPEND PYLON_ICON_FILES ${icon})
endforeach()
add_custom_target(icons ALL DEPENDS ${PYLON_ICON_FILES})
install(DIRECTORY ${PYLON_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/veltro12.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Manual pages: help2man runs each program's --help and --version, so a page cannot say
# anything the program's own help does not.
find_program(HELP2MAN_EXECUTABLE help2man)
find_program(GZIP_EXECUTABLE gzip)
set(PYLON_MAN_DIR ${CMAKE_BINARY_DIR}/man)
if(HELP2MAN_EXECUTABLE AND GZIP_EXECUTABLE)
  set(PYLON_MAN_PAGES)
  foreach(program veltro12 pylon)
    # help2man takes the page's name from the first word of --version; the player's says
    # "Veltro 12 VERSION", so its line is given here in the "program (package) version" form.
    if(program STREQUAL "veltro12")
      set(summary "play the real-time demo Veltro 12")
      set(version_args "--version-string=veltro12 (Veltro 12) ${PYLON_VERSION_TEXT}")
    else()
      set(summary "the PylonLib content tool")
      set(version_args --version-option=--version)
    endif()
    set(page ${PYLON_MAN_DIR}/${program}.1)
    # Sections the programs' help has no place for (files, see also).
    set(extra ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PYLON_MAN_DIR}
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PYLON_RELEASE_EPOCH} ${HELP2MAN_EXECUTABLE} --no-info --no-discard-stderr --section=1 --name=${summary}
              --include=${extra} ${version_args}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP_EXECUTABLE} -9nf ${page}
      DEPENDS ${program} ${extra}
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND PYLON_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${PYLON_MAN_PAGES})
  install(FILES ${PYLON_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found (scripts/setup.sh installs it): no manual pages")
endif()

# Debian's doc files: the copyright notice and the changelog, compressed as policy asks.
set(PYLON_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${PYLON_DOC_DIR}/changelog @ONLY)
if(GZIP_EXECUTABLE)
  add_custom_command(
    OUTPUT ${PYLON_DOC_DIR}/changelog.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${PYLON_DOC_DIR}/changelog
    DEPENDS ${PYLON_DOC_DIR}/changelog
    VERBATIM)
  add_custom_target(package_docs ALL DEPENDS ${PYLON_DOC_DIR}/changelog.gz)
  install(FILES ${PYLON_DOC_DIR}/changelog.gz DESTINATION ${PYLON_DOC_INSTALL_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${PYLON_DOC_INSTALL_DIR})

# The install tests stage this very install rule set, so they need everything it installs.
if(TARGET test_install)
  add_dependencies(test_install veltro12 pylon data_archive icons)
  if(TARGET man_pages)
    add_dependencies(test_install man_pages)
  endif()
  if(TARGET package_docs)
    add_dependencies(test_install package_docs)
  endif()
  target_compile_definitions(test_install PRIVATE PYLON_CMAKE_COMMAND="${CMAKE_COMMAND}")
endif()
