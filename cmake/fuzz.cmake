# libFuzzer target for the .X reader and the mesh loaders. It needs clang:
# built as a normal target when the project compiler is clang, otherwise by
# invoking clang++ directly when one is installed. A short run is a CTest test.
set(XFILE_FUZZ_SOURCES
  ${CMAKE_SOURCE_DIR}/tests/fuzz/xfile_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/src/port/xfile.cpp
  ${CMAKE_SOURCE_DIR}/src/port/path.cpp
  ${CMAKE_SOURCE_DIR}/src/port/file.cpp
  ${CMAKE_SOURCE_DIR}/src/port/mesh.cpp
  ${CMAKE_SOURCE_DIR}/src/port/mesh_x.cpp
  ${CMAKE_SOURCE_DIR}/src/port/skin.cpp
  ${CMAKE_SOURCE_DIR}/src/port/math.cpp)
# The vertex-format functions live in whichever file defines them.
foreach(candidate vertex_format.cpp gpu_layout.cpp)
  if(EXISTS ${CMAKE_SOURCE_DIR}/src/port/${candidate})
    list(APPEND XFILE_FUZZ_SOURCES ${CMAKE_SOURCE_DIR}/src/port/${candidate})
  endif()
endforeach()
set(XFILE_FUZZ_FLAGS -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
set(XFILE_FUZZ_BIN ${CMAKE_BINARY_DIR}/fuzz/xfile_fuzz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_executable(xfile_fuzz ${XFILE_FUZZ_SOURCES})
  target_include_directories(xfile_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(xfile_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(xfile_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(xfile_fuzz PRIVATE PkgConfig::ZLIB)
  set_target_properties(xfile_fuzz PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(XFILE_FUZZ_READY ON)
else()
  find_program(POMELVANE_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14)
  if(POMELVANE_CLANGXX)
    add_custom_command(
      OUTPUT ${XFILE_FUZZ_BIN}
      COMMAND ${POMELVANE_CLANGXX} ${XFILE_FUZZ_FLAGS} -I${CMAKE_SOURCE_DIR}/src ${XFILE_FUZZ_SOURCES}
              -lz -o ${XFILE_FUZZ_BIN}
      DEPENDS ${XFILE_FUZZ_SOURCES}
      IMPLICIT_DEPENDS CXX ${CMAKE_SOURCE_DIR}/tests/fuzz/xfile_fuzz.cpp
      COMMENT "Building the .X reader fuzzer with clang"
      VERBATIM)
    add_custom_target(xfile_fuzz ALL DEPENDS ${XFILE_FUZZ_BIN})
    set(XFILE_FUZZ_READY ON)
  else()
    message(STATUS "No clang++: the .X reader fuzzer is not built")
  endif()
endif()

if(XFILE_FUZZ_READY AND POMELVANE_TESTS)
  # New inputs go to the work directory, never into the seed corpus.
  set(XFILE_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz/xfile_corpus)
  file(MAKE_DIRECTORY ${XFILE_FUZZ_WORK})
  add_test(NAME xfile_fuzz_smoke
    COMMAND ${XFILE_FUZZ_BIN} -runs=20000 -seed=1 -max_total_time=60 -timeout=10
            -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=8192
            ${XFILE_FUZZ_WORK} ${CMAKE_SOURCE_DIR}/tests/fuzz/xfile_corpus)
  set_tests_properties(xfile_fuzz_smoke PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1" TIMEOUT 180)
endif()
