# The include rules a compiler cannot see (run at build time, before any
# layer compiles, and by the ctest layers_hold):
#  - no include reaches around the layer roots with "../";
#  - no include names an absolute path;
#  - only src/port/ includes the system libraries' headers.
# Arguments: -DSOURCE_DIR=<tree holding src/> [-DSTAMP=<file touched on success>]
cmake_minimum_required(VERSION 3.20)
set(failures 0)
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
list(SORT sources)
foreach(source IN LISTS sources)
  file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
  file(STRINGS ${source} around REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
  if(around)
    message(SEND_ERROR "${name} includes through \"../\": ${around}")
    math(EXPR failures "${failures} + 1")
  endif()
  file(STRINGS ${source} absolute REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]([/\\\\]|[A-Za-z]:)")
  if(absolute)
    message(SEND_ERROR "${name} includes an absolute path: ${absolute}")
    math(EXPR failures "${failures} + 1")
  endif()
  if(NOT name MATCHES "^src/port/")
    file(STRINGS ${source} system REGEX
         "^[ \t]*#[ \t]*include[ \t]*[<\"](SDL|GL/|GLES|png|jpeglib|zlib|SDL2/)")
    if(system)
      message(SEND_ERROR "${name} includes a system library header outside src/port/: ${system}")
      math(EXPR failures "${failures} + 1")
    endif()
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include rule(s) broken (docs/architecture.md)")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
