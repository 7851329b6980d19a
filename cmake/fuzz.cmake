# libFuzzer targets for the readers of the game's files. They need clang:
# built as normal targets when the project compiler is clang, otherwise by
# invoking clang++ directly when one is installed, source by source with a
# depfile each. A short run of each is a CTest test; the runs together stay
# under a minute.
#   pomelvane_fuzz_target(NAME SOURCES... [LIBS -l...] [INCLUDES dirs...])
# The target's source is tests/fuzz/NAME.cpp and its seed corpus
# tests/fuzz/NAME_corpus; new inputs go to the build folder, never into the
# seed corpus.
set(POMELVANE_FUZZ_FLAGS -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  find_program(POMELVANE_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14)
  if(NOT POMELVANE_CLANGXX)
    message(STATUS "No clang++: the fuzz targets are not built")
  endif()
endif()

function(pomelvane_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  set(main ${CMAKE_SOURCE_DIR}/tests/fuzz/${name}.cpp)
  set(sources ${main})
  foreach(s ${F_SOURCES})
    list(APPEND sources ${CMAKE_SOURCE_DIR}/${s})
  endforeach()
  set(includes -I${CMAKE_SOURCE_DIR}/src)
  foreach(dir ${F_INCLUDES})
    list(APPEND includes -I${dir})
  endforeach()
  set(bin ${CMAKE_BINARY_DIR}/fuzz/${name})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${F_INCLUDES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  elseif(POMELVANE_CLANGXX)
    # One object per source, each with the compiler's own list of the headers
    # it read (a depfile, which every generator follows), so a changed header
    # rebuilds the target.
    set(objects "")
    foreach(source IN LISTS sources)
      file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
      set(object ${CMAKE_BINARY_DIR}/fuzz/${name}.dir/${relative}.o)
      get_filename_component(object_dir ${object} DIRECTORY)
      file(MAKE_DIRECTORY ${object_dir})
      add_custom_command(
        OUTPUT ${object}
        COMMAND ${CMAKE_CXX_COMPILER_LAUNCHER} ${POMELVANE_CLANGXX} ${POMELVANE_FUZZ_FLAGS} ${includes}
                -MD -MT ${object} -MF ${object}.d -c ${source} -o ${object}
        DEPENDS ${source}
        DEPFILE ${object}.d
        COMMENT "Compiling ${relative} for the fuzz target ${name} with clang"
        VERBATIM)
      list(APPEND objects ${object})
    endforeach()
    add_custom_command(
      OUTPUT ${bin}
      COMMAND ${POMELVANE_CLANGXX} ${POMELVANE_FUZZ_FLAGS} ${objects} ${F_LIBS} -o ${bin}
      DEPENDS ${objects}
      COMMENT "Linking the fuzz target ${name}"
      VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${bin})
  else()
    return()
  endif()
  if(POMELVANE_TESTS)
    set(work ${CMAKE_BINARY_DIR}/fuzz/${name}_corpus)
    file(MAKE_DIRECTORY ${work})
    add_test(NAME ${name}_smoke
      COMMAND ${bin} -runs=20000 -seed=1 -max_total_time=8 -timeout=10
              -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=8192
              ${work} ${CMAKE_SOURCE_DIR}/tests/fuzz/${name}_corpus)
    set_tests_properties(${name}_smoke PROPERTIES
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp"
      TIMEOUT 120)
  endif()
endfunction()

# The vertex-format functions live in whichever file defines them.
set(POMELVANE_FUZZ_MESH_SOURCES
  src/port/xfile.cpp src/port/path.cpp src/port/file.cpp src/port/mesh.cpp
  src/port/mesh_x.cpp src/port/skin.cpp src/port/math.cpp)
foreach(candidate vertex_format.cpp gpu_layout.cpp)
  if(EXISTS ${CMAKE_SOURCE_DIR}/src/port/${candidate})
    list(APPEND POMELVANE_FUZZ_MESH_SOURCES src/port/${candidate})
  endif()
endforeach()

pomelvane_fuzz_target(xfile_fuzz SOURCES ${POMELVANE_FUZZ_MESH_SOURCES} LIBS -lz)
pomelvane_fuzz_target(skin_fuzz SOURCES ${POMELVANE_FUZZ_MESH_SOURCES} LIBS -lz)
pomelvane_fuzz_target(image_fuzz
  SOURCES src/port/image.cpp src/port/path.cpp src/port/file.cpp
  LIBS ${PNG_LINK_LIBRARIES} ${JPEG_LINK_LIBRARIES} -lz
  INCLUDES ${PNG_INCLUDE_DIRS} ${JPEG_INCLUDE_DIRS})
pomelvane_fuzz_target(effect_fuzz SOURCES src/port/effect_parse.cpp)
pomelvane_fuzz_target(keyvalue_fuzz
  SOURCES src/world/KvFile.cpp src/app/AppearRecord.cpp src/port/file.cpp)
pomelvane_fuzz_target(sound_fuzz
  SOURCES src/port/audio_wav.cpp src/port/midi_file.cpp src/port/file.cpp)
