# The include rules a compiler cannot see (run at build time, one layer at a
# time before it compiles, and by the ctest layers_hold). Each file of a layer,
# header or source, is run through the preprocessor as the build compiles it
# (against the layer's root, with the system libraries' folders), so an
# include split over lines or named through a macro counts as what it opens.
# Of the files it opens:
#  - none of the game's lies in a higher layer, or in the tree outside the
#    layers (tests/, tools/, the build folder);
#  - none is reached through "../" or by an absolute path (the game's headers
#    are named from the layer root);
#  - outside src/port/, none is a system library's header (SDL, GL, libpng,
#    libjpeg, zlib), not even through a port header.
# A file the preprocessor refuses (an include not found) fails too.
# Arguments: -DCXX=<compiler> -DSOURCE_DIR=<tree holding src/>
#   -DLAYER_ROOT=<folder of the layer roots> -DLAYERS=<bottom,...,top>
#   [-DLAYER=<the one layer to check; all when left out>]
#   [-DSYSTEM_INCLUDES=<dir,...>: the system libraries' include folders]
#   [-DCACHE_DIR=<folder>: a file's verdict is kept until it or what it opens changes]
#   [-DSTAMP=<file written on success>] [-DDEPFILE=<the game files opened, for the build>]
cmake_minimum_required(VERSION 3.20)
set(flags_key "${CXX}|${LAYER_ROOT}|${LAYERS}|${SYSTEM_INCLUDES}")
string(REPLACE "," ";" LAYERS "${LAYERS}")
string(REPLACE "," ";" SYSTEM_INCLUDES "${SYSTEM_INCLUDES}")
set(checked_layers ${LAYERS})
if(LAYER)
  set(checked_layers ${LAYER})
endif()
file(REAL_PATH ${SOURCE_DIR} game_tree)
set(game_src ${game_tree}/src)
set(system_flags "")
foreach(dir IN LISTS SYSTEM_INCLUDES)
  list(APPEND system_flags -I${dir})
endforeach()
# Headers of the system libraries by folder or by name.
set(system_header
    "/(SDL2|GL|GLES[0-9]*|EGL|KHR|libpng[0-9]*)/[^/]+$|/(SDL[^/]*|png|pngconf|pnglibconf|jpeglib|jconfig|jmorecfg|zlib|zconf)\\.h$"
)

# The layer of a path, or "" outside the game's layers.
function(layer_of real out)
  set(${out} "" PARENT_SCOPE)
  string(LENGTH "${game_src}/" prefix_length)
  string(SUBSTRING "${real}" 0 ${prefix_length} head)
  if(head STREQUAL "${game_src}/")
    string(SUBSTRING "${real}" ${prefix_length} -1 rest)
    string(REGEX MATCH "^[^/]+/" folder "${rest}")
    string(REPLACE "/" "" folder "${folder}")
    if(folder IN_LIST LAYERS)
      set(${out} ${folder} PARENT_SCOPE)
    endif()
  endif()
endfunction()

# The file a path opens: each "/../" taken after the links before it are
# followed, as the system does (file(REAL_PATH) alone would drop the folder
# before it first).
function(physical_path path out)
  string(FIND "${path}" "/../" at)
  while(at GREATER -1)
    string(SUBSTRING "${path}" 0 ${at} head)
    math(EXPR at "${at} + 4")
    string(SUBSTRING "${path}" ${at} -1 tail)
    file(REAL_PATH "${head}" head)
    get_filename_component(head "${head}" DIRECTORY)
    set(path "${head}/${tail}")
    string(FIND "${path}" "/../" at)
  endwhile()
  file(REAL_PATH "${path}" path)
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# Preprocesses one file of `layer`; sets problems (a list of messages) and
# opened (the game files it opened, real paths).
function(check_file layer name)
  set(root ${LAYER_ROOT}/${layer})
  list(FIND LAYERS ${layer} own)
  execute_process(COMMAND ${CXX} -std=c++20 -x c++ -M -MF /dev/null -H -I${root} ${system_flags}
                          ${root}/${layer}/${name}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(problems "")
  set(opened "")
  string(REPLACE ";" "," err "${err}")
  string(REGEX REPLACE "\nMultiple include guards.*" "" err "${err}")
  string(REPLACE "\n" ";" lines "${err}")
  set(said "")
  set(stack "src/${layer}/${name}")  # the includer at each depth, by name
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^(\\.+) (.+)$")
      if(NOT line MATCHES "pragma once in main file|^ +[0-9]* *\\||^$")
        string(APPEND said "${line}\n")
      endif()
      continue()
    endif()
    string(LENGTH "${CMAKE_MATCH_1}" depth)
    set(path "${CMAKE_MATCH_2}")
    list(SUBLIST stack 0 ${depth} stack)
    math(EXPR up "${depth} - 1")
    list(GET stack ${up} includer)
    list(APPEND stack "${path}")
    if(NOT includer MATCHES "^src/")
      continue()  # inside a system header
    endif()
    physical_path("${path}" real)
    layer_of("${real}" home)
    if(home STREQUAL "")
      string(FIND "${real}" "${game_tree}/" in_tree)
      if(in_tree EQUAL 0)
        list(APPEND problems "${includer} includes ${path}, a file of no layer")
      elseif(NOT layer STREQUAL "port"
             AND (path MATCHES "${system_header}" OR real MATCHES "${system_header}"))
        list(APPEND problems "src/${layer}/${name} includes a system library header outside src/port/: ${path} (from ${includer})")
      endif()
      list(POP_BACK stack)
      list(APPEND stack "system")
      continue()
    endif()
    file(RELATIVE_PATH game_name ${game_src} ${real})
    list(POP_BACK stack)
    list(APPEND stack "src/${game_name}")
    list(APPEND opened "${real}")
    string(FIND "${path}" "${root}/" at)
    if(path MATCHES "/\\.\\./")
      list(APPEND problems "${includer} includes through \"../\": ${path}")
    elseif(NOT at EQUAL 0)
      list(APPEND problems "${includer} includes an absolute path: ${path}")
    endif()
    list(FIND LAYERS ${home} at)
    if(at GREATER own)
      list(APPEND problems "${includer} includes src/${game_name} of the higher layer ${home}")
    endif()
  endforeach()
  if(NOT rc EQUAL 0)
    list(APPEND problems "src/${layer}/${name} does not preprocess against the ${layer} root:\n${said}")
  endif()
  list(REMOVE_DUPLICATES problems)
  list(REMOVE_DUPLICATES opened)
  set(problems "${problems}" PARENT_SCOPE)
  set(opened "${opened}" PARENT_SCOPE)
endfunction()

set(failures 0)
set(all_opened "")
foreach(layer IN LISTS checked_layers)
  file(GLOB names RELATIVE ${SOURCE_DIR}/src/${layer} ${SOURCE_DIR}/src/${layer}/*.h
       ${SOURCE_DIR}/src/${layer}/*.cpp)
  list(SORT names)
  foreach(name IN LISTS names)
    set(source ${SOURCE_DIR}/src/${layer}/${name})
    # A kept verdict stands while the file, what it opened, this script and
    # the settings stand.
    set(fresh FALSE)
    if(CACHE_DIR)
      set(kept ${CACHE_DIR}/${layer}/${name}.opened)
      if(EXISTS ${kept} AND NOT ${source} IS_NEWER_THAN ${kept}
         AND NOT ${CMAKE_CURRENT_LIST_FILE} IS_NEWER_THAN ${kept})
        file(STRINGS ${kept} kept_lines)
        list(POP_FRONT kept_lines key)
        if(key STREQUAL flags_key)
          set(fresh TRUE)
          foreach(file IN LISTS kept_lines)
            if(${file} IS_NEWER_THAN ${kept})
              set(fresh FALSE)
              break()
            endif()
          endforeach()
        endif()
      endif()
    endif()
    if(fresh)
      list(APPEND all_opened ${kept_lines})
      continue()
    endif()
    check_file(${layer} ${name})
    list(APPEND all_opened ${opened})
    if(problems)
      foreach(problem IN LISTS problems)
        message(SEND_ERROR "${problem}")
      endforeach()
      math(EXPR failures "${failures} + 1")
      if(CACHE_DIR)
        file(REMOVE ${kept})
      endif()
    elseif(CACHE_DIR)
      string(REPLACE ";" "\n" opened_lines "${flags_key};${opened}")
      file(WRITE ${kept} "${opened_lines}\n")
    endif()
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} file(s) break the include rules (docs/architecture.md)")
endif()
if(STAMP)
  file(WRITE ${STAMP} "")
  if(DEPFILE)
    list(REMOVE_DUPLICATES all_opened)
    list(SORT all_opened)
    set(depends "")
    foreach(file IN LISTS all_opened)
      string(REPLACE " " "\\ " file "${file}")
      string(APPEND depends " \\\n  ${file}")
    endforeach()
    file(WRITE ${DEPFILE} "${STAMP}:${depends}\n")
  endif()
endif()
