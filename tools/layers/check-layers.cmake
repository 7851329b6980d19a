# Checks that the layers hold (run by ctest as a script):
#  - a layer's include root shows its own headers and none of a higher layer:
#    including a higher layer's header fails as "file not found";
#  - the include rules of check-includes.cmake and, given the archives, the
#    symbol rules of check-symbols.cmake (both also run by the build).
# Arguments: -DCXX=<compiler> -DSOURCE_DIR=<repo> -DLAYER_ROOT=<build/layers>
#            -DLAYERS=<bottom,...,top> -DWORK_DIR=<scratch folder>
#            [-DSYSTEM_INCLUDES=<dir,...>] [-DNM=<nm> -DARCHIVES=<one per layer>]
cmake_minimum_required(VERSION 3.20)
string(REPLACE "," ";" LAYERS "${LAYERS}")
file(MAKE_DIRECTORY ${WORK_DIR})
set(failures 0)

macro(report message)
  message(SEND_ERROR "${message}")
  math(EXPR failures "${failures} + 1")
endmacro()

# Compiles one line against a layer's root; sets ok and output.
function(compile_include root header name)
  set(file ${WORK_DIR}/${name}.cpp)
  file(WRITE ${file} "#include \"${header}\"\n")
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${root} ${file}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0)
    set(ok TRUE PARENT_SCOPE)
  else()
    set(ok FALSE PARENT_SCOPE)
  endif()
  set(output "${out}${err}" PARENT_SCOPE)
endfunction()

# One header of each layer that has any.
foreach(layer IN LISTS LAYERS)
  file(GLOB headers RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/${layer}/*.h)
  list(SORT headers)
  if(headers)
    list(GET headers 0 header)
    set(sample_${layer} ${header})
  endif()
endforeach()

set(index 0)
foreach(layer IN LISTS LAYERS)
  set(root ${LAYER_ROOT}/${layer})
  if(DEFINED sample_${layer})
    compile_include(${root} ${sample_${layer}} ${layer}_own)
    if(NOT ok)
      report("${layer}: its own header ${sample_${layer}} does not compile:\n${output}")
    endif()
  endif()
  math(EXPR first "${index} + 1")
  list(LENGTH LAYERS count)
  set(higher "")
  if(first LESS count)
    list(SUBLIST LAYERS ${first} -1 higher)
  endif()
  foreach(upper IN LISTS higher)
    if(NOT DEFINED sample_${upper})
      continue()
    endif()
    compile_include(${root} ${sample_${upper}} ${layer}_sees_${upper})
    if(ok)
      report("${layer} can include ${sample_${upper}} of the higher layer ${upper}")
    elseif(NOT output MATCHES "No such file|file not found")
      report("${layer} including ${sample_${upper}} failed, but not for a missing file:\n${output}")
    endif()
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layer rule(s) broken")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/check-includes.cmake)
if(ARCHIVES)
  include(${CMAKE_CURRENT_LIST_DIR}/check-symbols.cmake)
endif()
message(STATUS "The layers hold")
