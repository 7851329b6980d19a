# Checks each layer's archive against the layers above it (run after the
# layers are built, and by the ctest layers_hold): a symbol a layer uses must
# be defined in its own layer or a lower one, or outside the game (the C++
# library, SDL, ...). Two uses of a higher layer stand, as docs/architecture.md
# explains:
#  - any layer may use the program-wide objects, the data that
#    GLOBALS_OBJECT (app/Globals.cpp) defines in GLOBALS_LAYER;
#  - ROUTINES_USER (app) may use the members of ROUTINES_CLASS (Application)
#    that ROUTINES_LAYER (scenes) defines: the scene routines.
# Arguments: -DNM=<nm> -DLAYERS=<bottom,...,top> -DARCHIVES=<one per layer, same order>
#   [-DGLOBALS_LAYER=app -DGLOBALS_OBJECT=Globals.cpp.o
#    -DROUTINES_USER=app -DROUTINES_LAYER=scenes -DROUTINES_CLASS=Application]
#   [-DSTAMP=<file touched on success>]
cmake_minimum_required(VERSION 3.20)
foreach(setting GLOBALS_LAYER:app GLOBALS_OBJECT:Globals.cpp.o ROUTINES_USER:app
                ROUTINES_LAYER:scenes ROUTINES_CLASS:Application)
  string(REPLACE ":" ";" pair ${setting})
  list(GET pair 0 key)
  list(GET pair 1 value)
  if(NOT DEFINED ${key})
    set(${key} ${value})
  endif()
endforeach()
string(REPLACE "," ";" LAYERS "${LAYERS}")
string(REPLACE "," ";" ARCHIVES "${ARCHIVES}")
string(LENGTH "${ROUTINES_CLASS}" class_length)
set(routine_prefix "^_ZNK?${class_length}${ROUTINES_CLASS}")

list(LENGTH LAYERS layer_count)
list(LENGTH ARCHIVES archive_count)
if(NOT layer_count EQUAL archive_count)
  message(FATAL_ERROR "LAYERS and ARCHIVES differ in length")
endif()

# One pass over every archive: the lowest layer that defines each symbol, and
# every use, as "layer-index|member|symbol".
set(uses "")
math(EXPR last "${layer_count} - 1")
foreach(index RANGE ${last})
  list(GET LAYERS ${index} layer)
  list(GET ARCHIVES ${index} archive)
  execute_process(COMMAND ${NM} -A -P -g ${archive}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE listing ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${archive}: ${err}")
  endif()
  string(REPLACE ";" "\\;" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    # archive[member]: symbol type [value size]
    if(NOT line MATCHES "\\[([^]]+)\\]: ([^ ]+) ([A-Za-z])")
      continue()
    endif()
    set(member ${CMAKE_MATCH_1})
    set(symbol ${CMAKE_MATCH_2})
    set(type ${CMAKE_MATCH_3})
    if(type STREQUAL "U")
      list(APPEND uses "${index}|${member}|${symbol}")
    elseif(NOT type MATCHES "^[wv]$")
      if(NOT DEFINED "lowest_${symbol}")
        set("lowest_${symbol}" ${index})
        set("member_${symbol}" ${member})
        if(type MATCHES "^[BDGRSV]$")
          set("type_${symbol}" data)
        else()
          set("type_${symbol}" code)
        endif()
      endif()
    endif()
  endforeach()
endforeach()

set(failures 0)
foreach(use IN LISTS uses)
  string(REPLACE "|" ";" parts "${use}")
  list(GET parts 0 index)
  list(GET parts 1 member)
  list(GET parts 2 symbol)
  if(NOT DEFINED "lowest_${symbol}")
    continue()  # outside the game
  endif()
  set(home ${lowest_${symbol}})
  if(home LESS_EQUAL index)
    continue()
  endif()
  list(GET LAYERS ${index} layer)
  list(GET LAYERS ${home} higher)
  set(allowed FALSE)
  if(higher STREQUAL GLOBALS_LAYER AND "${member_${symbol}}" STREQUAL GLOBALS_OBJECT
     AND "${type_${symbol}}" STREQUAL "data")
    set(allowed TRUE)
  elseif(layer STREQUAL ROUTINES_USER AND higher STREQUAL ROUTINES_LAYER
         AND symbol MATCHES "${routine_prefix}")
    set(allowed TRUE)
  endif()
  if(NOT allowed)
    message(SEND_ERROR "${layer} (${member}) uses ${symbol}, defined in the higher layer "
                       "${higher} (${member_${symbol}})")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} use(s) of a higher layer (docs/architecture.md)")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
