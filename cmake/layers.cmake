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

# Includes through "../", of an absolute path, or of a system library outside
# port/: checked before any layer compiles.
file(GLOB_RECURSE layer_rule_sources CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/src/*.h ${CMAKE_SOURCE_DIR}/src/*.cpp)
add_custom_command(
  OUTPUT ${POMELVANE_LAYER_CHECK_DIR}/includes.stamp
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DSTAMP=${POMELVANE_LAYER_CHECK_DIR}/includes.stamp
          -P ${CMAKE_SOURCE_DIR}/tools/layers/check-includes.cmake
  DEPENDS ${layer_rule_sources} ${CMAKE_SOURCE_DIR}/tools/layers/check-includes.cmake
  COMMENT "Checking the layers' include rules"
  VERBATIM)
add_custom_target(pomelvane_layer_includes DEPENDS ${POMELVANE_LAYER_CHECK_DIR}/includes.stamp)
foreach(layer IN LISTS layers_built)
  add_dependencies(pomelvane_${layer} pomelvane_layer_includes)
endforeach()

# A layer's archive may use only what its own and lower layers define, the
# program-wide objects, and (app only) the scene routines.
if(NOT CMAKE_NM)
  message(FATAL_ERROR "nm not found: the layers' symbol check needs it")
endif()
add_custom_command(
  OUTPUT ${POMELVANE_LAYER_CHECK_DIR}/symbols.stamp
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLAYERS=${layers_built_arg}
          -DARCHIVES=${layer_archives_arg} -DSTAMP=${POMELVANE_LAYER_CHECK_DIR}/symbols.stamp
          -P ${CMAKE_SOURCE_DIR}/tools/layers/check-symbols.cmake
  DEPENDS ${layer_archives_built} ${CMAKE_SOURCE_DIR}/tools/layers/check-symbols.cmake
  COMMENT "Checking the layers' symbols"
  VERBATIM)
add_custom_target(pomelvane_layer_symbols ALL DEPENDS ${POMELVANE_LAYER_CHECK_DIR}/symbols.stamp)
add_dependencies(pomelvane pomelvane_layer_symbols)

if(POMELVANE_TESTS)
  # An include of a higher layer must fail to build; the rules above hold.
  add_test(NAME layers_hold
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -DLAYER_ROOT=${POMELVANE_LAYER_ROOT} -DLAYERS=${layers_built_arg}
            -DNM=${CMAKE_NM} -DARCHIVES=${layer_archives_arg}
            -DWORK_DIR=${POMELVANE_LAYER_CHECK_DIR}/compile
            -P ${CMAKE_SOURCE_DIR}/tools/layers/check-layers.cmake)
  # The checks themselves reject a bad include and a bad symbol.
  add_test(NAME layers_check_rejects
    COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DAR=${CMAKE_AR} -DNM=${CMAKE_NM}
            -DWORK_DIR=${POMELVANE_LAYER_CHECK_DIR}/self_test
            -P ${CMAKE_SOURCE_DIR}/tools/layers/test-checks.cmake)
  # A comment that names a test names one that exists.
  add_test(NAME test_names_hold
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -P ${CMAKE_SOURCE_DIR}/tools/check-test-names.cmake)
endif()
