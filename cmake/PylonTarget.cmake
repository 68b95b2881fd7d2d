# pylon_library(NAME DIRS...): a static library from every .cpp in the given folders.
# Sources are globbed per folder so each subsystem owns its file list.
function(pylon_library name)
  set(sources)
  foreach(dir ${ARGN})
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
  endforeach()
  if(NOT sources)
    # A subsystem whose sources have not arrived yet still gives a linkable library.
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "")
  endif()
  add_library(${name} STATIC ${sources})
  target_compile_options(${name} PRIVATE ${PYLON_WARNINGS})
endfunction()
