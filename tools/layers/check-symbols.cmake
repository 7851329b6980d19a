# Checks each layer's archive against the layers above it (run after the
# layers are built, and by the ctest layers_hold): a symbol a layer uses must
# be defined in its own layer or a lower one, or outside the game (the C++
# library, SDL, ...). Two uses of a higher layer stand, as docs/architecture.md
# explains:
#  - a program-wide object, the data that GLOBALS_OBJECT (app/Globals.cpp)
#    defines in GLOBALS_LAYER, where the one header that declares it
#    ("extern" in src/<layer>/*.h) stands in the user's layer or below;
#  - ROUTINES_USER (app) may use the members of ROUTINES_CLASS (Application)
#    that ROUTINES_LAYER (scenes) defines: the scene routines.
# Arguments: -DNM=<nm> -DLAYERS=<bottom,...,top> -DARCHIVES=<one per layer, same order>
#   -DSOURCE_DIR=<tree holding src/<layer>/*.h>
#   [-DGLOBALS_LAYER=app -DGLOBALS_OBJECT=Globals.cpp.o
#    -DROUTINES_USER=app -DROUTINES_LAYER=scenes -DROUTINES_CLASS=Application]
#   [-DSTAMP=<file written on success>]
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

# The text of a header as the compiler reads it, its comments and literals
# left out, ";" written " @end@". Lines ending in a backslash are joined
# first, then the text is read a token at a time from its start, so whichever
# of a comment, a string or a character comes first hides all it holds (a
# "//" in a block comment, a "/*" in a string, a quote in a character). A
# raw string is known by its plain delimiter only. Meanwhile ";", "[" and "]"
# stand in as "@%", "@<" and "@>": in a list they would split or hold items.
set(token_patterns
    "(u8|[uUL])?R\"\\(([^)]|\\)+[^)\"])*\\)+\""  # raw string
    "[A-Za-z_][A-Za-z0-9_]*"  # name, taken whole: a quote after it opens a character
    "\\.?[0-9]([eEpP][+-]|[A-Za-z0-9_.]|'[A-Za-z0-9_])*"  # number, digit separators included
    "/\\*([^*]|\\*+[^*/])*\\*+/"  # block comment
    "//[^\n]*"  # line comment
    "\"([^\"\\\n]|\\\\.)*\""  # string
    "'([^'\\\n]|\\\\.)*'"  # character
    "[^A-Za-z0-9_/\"'.]+|[/\"'.]")  # anything else
list(JOIN token_patterns "|" token_pattern)
function(code_of path out)
  file(READ ${path} text)
  string(REGEX REPLACE "\\\\[ \t\r]*\n" "" text "${text}")
  string(REPLACE ";" "@%" text "${text}")
  string(REPLACE "[" "@<" text "${text}")
  string(REPLACE "]" "@>" text "${text}")
  string(REGEX MATCHALL "${token_pattern}" tokens "${text}")
  list(FILTER tokens EXCLUDE REGEX "^((u8|[uUL])?R\"|/[/*]|[\"'])")
  list(JOIN tokens " " text)
  string(REPLACE "@%" " @end@" text "${text}")
  string(REPLACE "@<" "[" text "${text}")
  string(REPLACE "@>" "]" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The header that declares each object, and its layer: the names an "extern"
# declaration ends each of its declarators with. An object declared in two
# headers is kept as such and refused.
foreach(index RANGE ${last})
  list(GET LAYERS ${index} layer)
  file(GLOB headers RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/src/${layer}/*.h)
  list(SORT headers)
  foreach(header IN LISTS headers)
    code_of(${SOURCE_DIR}/${header} text)
    string(REGEX MATCHALL "extern[ \t\n][^@{}()\"]*@end@" declarations "${text}")
    foreach(declaration IN LISTS declarations)
      string(REGEX REPLACE "^extern|@end@$|=[^,]*|\\[[^]]*\\]" "" declaration "${declaration}")
      string(REPLACE "," ";" declarators "${declaration}")
      foreach(declarator IN LISTS declarators)
        if(declarator MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t\n]*$")
          set(name ${CMAKE_MATCH_1})
          if(DEFINED "declared_${name}")
            set("declared_${name}" "${declared_${name}} and ${header}")
            set("declared_layer_${name}" twice)
          else()
            set("declared_${name}" ${header})
            set("declared_layer_${name}" ${index})
          endif()
        endif()
      endforeach()
    endforeach()
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
  set(reason "")
  if(higher STREQUAL GLOBALS_LAYER AND "${member_${symbol}}" STREQUAL GLOBALS_OBJECT
     AND "${type_${symbol}}" STREQUAL "data")
    set(declared_in "${declared_layer_${symbol}}")
    if(declared_in STREQUAL "")
      set(reason "the program-wide object ${symbol} is declared in no header")
    elseif(declared_in STREQUAL "twice")
      set(reason "the program-wide object ${symbol} is declared in more than one header")
      string(APPEND reason " (${declared_${symbol}})")
    elseif(declared_in GREATER index)
      list(GET LAYERS ${declared_in} declared_layer)
      set(reason "the program-wide object ${symbol} is declared in ${declared_${symbol}}")
      string(APPEND reason " of the higher layer ${declared_layer}")
    else()
      set(allowed TRUE)
    endif()
  elseif(layer STREQUAL ROUTINES_USER AND higher STREQUAL ROUTINES_LAYER
         AND symbol MATCHES "${routine_prefix}")
    set(allowed TRUE)
  endif()
  if(reason)
    message(SEND_ERROR "${layer} (${member}) uses ${symbol}: ${reason}")
    math(EXPR failures "${failures} + 1")
  elseif(NOT allowed)
    message(SEND_ERROR "${layer} (${member}) uses ${symbol}, defined in the higher layer "
                       "${higher} (${member_${symbol}})")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} use(s) of a higher layer (docs/architecture.md)")
endif()
if(STAMP)
  file(WRITE ${STAMP} "")
endif()
