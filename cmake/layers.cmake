# The layer rules the compiler cannot see, checked as part of the build
# (docs/architecture.md): a broken rule fails the build, not only a test.
set(POMELVANE_LAYER_CHECK_DIR ${CMAKE_BINARY_DIR}/layer_check)
set(layers_built "")
set(layer_archives_built "")
foreach(layer IN LISTS POMELVANE_LAYERS)
  get_target_property(type pomelvane_${layer} TYPE)
  if(type STREQUAL "STATIC_LIBRARY")
    list(APPEND layers_built ${layer})
    list(APPEND layer_archives_built $<TARGET_FILE:pomelvane_${layer}>)
  endif()
endforeach()
# The scripts take their lists with "," between items.
string(REPLACE ";" "," layers_built_arg "${layers_built}")
string(REPLACE ";" "," layer_archives_arg "${layer_archives_built}")

# The folders of the system libraries' headers: the include check opens them
# as port/ does, so an include of one outside port/ is named for what it is.
set(layer_system_includes "")
foreach(package SDL2 SDL2_MIXER SDL2_TTF PNG JPEG ZLIB)
  list(APPEND layer_system_includes ${${package}_INCLUDE_DIRS})
endforeach()
list(REMOVE_DUPLICATES layer_system_includes)
string(REPLACE ";" "," layer_system_includes_arg "${layer_system_includes}")
# Ninja makes the folders of what a command writes; the other generators do not.
file(MAKE_DIRECTORY ${POMELVANE_LAYER_CHECK_DIR})

# Each layer's files as the preprocessor reads them (the higher layers, "../",
# absolute paths, system libraries outside port/): checked before the layer
# compiles, again when a file it opens changes (the check's depfile). A file's
# verdict is kept in layer_check/includes/ until then.
foreach(layer IN LISTS layers_built)
  file(GLOB layer_files CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/src/${layer}/*.h ${CMAKE_SOURCE_DIR}/src/${layer}/*.cpp)
  set(stamp ${POMELVANE_LAYER_CHECK_DIR}/includes_${layer}.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -DLAYER_ROOT=${POMELVANE_LAYER_ROOT} -DLAYERS=${layers_built_arg} -DLAYER=${layer}
            -DSYSTEM_INCLUDES=${layer_system_includes_arg}
            -DCACHE_DIR=${POMELVANE_LAYER_CHECK_DIR}/includes -DSTAMP=${stamp}
            -DDEPFILE=${stamp}.d -P ${CMAKE_SOURCE_DIR}/tools/layers/check-includes.cmake
    DEPENDS ${layer_files} ${CMAKE_SOURCE_DIR}/tools/layers/check-includes.cmake
    DEPFILE ${stamp}.d
    COMMENT "Checking the ${layer} layer's includes"
    VERBATIM)
  add_custom_target(pomelvane_${layer}_includes DEPENDS ${stamp})
  add_dependencies(pomelvane_${layer} pomelvane_${layer}_includes)
endforeach()

# A layer's archive may use only what its own and lower layers define, the
# program-wide objects whose header stands in its own layer or below, and
# (app only) the scene routines.
file(GLOB layer_headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*/*.h)
if(NOT CMAKE_NM)
  message(FATAL_ERROR "nm not found: the layers' symbol check needs it")
endif()
add_custom_command(
  OUTPUT ${POMELVANE_LAYER_CHECK_DIR}/symbols.stamp
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLAYERS=${layers_built_arg}
          -DARCHIVES=${layer_archives_arg} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DSTAMP=${POMELVANE_LAYER_CHECK_DIR}/symbols.stamp
          -P ${CMAKE_SOURCE_DIR}/tools/layers/check-symbols.cmake
  DEPENDS ${layer_archives_built} ${CMAKE_SOURCE_DIR}/tools/layers/check-symbols.cmake
          ${layer_headers}
  COMMENT "Checking the layers' symbols"
  VERBATIM)
add_custom_target(pomelvane_layer_symbols ALL DEPENDS ${POMELVANE_LAYER_CHECK_DIR}/symbols.stamp)
add_dependencies(pomelvane pomelvane_layer_symbols)

if(POMELVANE_TESTS)
  # An include of a higher layer must fail to build; the rules above hold.
  add_test(NAME layers_hold
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -DLAYER_ROOT=${POMELVANE_LAYER_ROOT} -DLAYERS=${layers_built_arg}
            -DSYSTEM_INCLUDES=${layer_system_includes_arg}
            -DNM=${CMAKE_NM} -DARCHIVES=${layer_archives_arg}
            -DWORK_DIR=${POMELVANE_LAYER_CHECK_DIR}/compile
            -P ${CMAKE_SOURCE_DIR}/tools/layers/check-layers.cmake)
  # The checks themselves reject a bad include and a bad symbol.
  add_test(NAME layers_check_rejects
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DAR=${CMAKE_AR} -DNM=${CMAKE_NM}
            -DSYSTEM_INCLUDES=${layer_system_includes_arg}
            -DWORK_DIR=${POMELVANE_LAYER_CHECK_DIR}/self_test
            -P ${CMAKE_SOURCE_DIR}/tools/layers/test-checks.cmake)
  # A comment that names a test names one that exists.
  add_test(NAME test_names_hold
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -P ${CMAKE_SOURCE_DIR}/tools/check-test-names.cmake)
endif()
