# Feeds the layer checks small trees and archives that break one rule each
# and expects each to be rejected with the right reason, and the sound ones
# accepted (ctest layers_check_rejects).
# Arguments: -DCXX=<compiler> -DAR=<ar> -DNM=<nm> -DWORK_DIR=<scratch folder>
#   [-DSYSTEM_INCLUDES=<dir,...>: where <SDL.h> is]
cmake_minimum_required(VERSION 3.20)
set(here ${CMAKE_CURRENT_LIST_DIR})
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(failures 0)

# Runs a check script; expect is "pass" or the text its failure must show.
function(expect_check name script expect)
  execute_process(COMMAND ${CMAKE_COMMAND} ${ARGN} -P ${here}/${script}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(output "${out}${err}")
  string(REPLACE "\n" " " flat "${output}")
  string(REGEX REPLACE " +" " " flat "${flat}")
  if(expect STREQUAL "pass")
    if(NOT rc EQUAL 0)
      message(SEND_ERROR "${name}: rejected a sound case:\n${output}")
      set(failures 1 PARENT_SCOPE)
    endif()
  elseif(rc EQUAL 0)
    message(SEND_ERROR "${name}: accepted a broken case")
    set(failures 1 PARENT_SCOPE)
  elseif(NOT flat MATCHES "${expect}")
    message(SEND_ERROR "${name}: rejected, but not for \"${expect}\":\n${output}")
    set(failures 1 PARENT_SCOPE)
  endif()
endfunction()

# Include rules: one tree per case, the game's layers with their roots as the
# build makes them and a few headers, and one file holding the include (with
# TREE standing for the tree's own folder).
set(tree_layers port platform render world actors app scenes)
string(REPLACE ";" "," tree_layers_arg "${tree_layers}")
set(tree_headers src/render/Camera.h src/world/Field.h src/scenes/StageScene.h src/scenes/X.h)
function(make_tree tree)
  set(visible "")
  foreach(layer IN LISTS tree_layers)
    list(APPEND visible ${layer})
    file(MAKE_DIRECTORY ${tree}/src/${layer} ${tree}/layers/${layer})
    foreach(shown IN LISTS visible)
      file(CREATE_LINK ${tree}/src/${shown} ${tree}/layers/${layer}/${shown} SYMBOLIC)
    endforeach()
  endforeach()
  foreach(header IN LISTS tree_headers)
    file(WRITE ${tree}/${header} "#pragma once\n")
  endforeach()
  file(WRITE ${tree}/src/port/Window.h "#pragma once\n#include <SDL.h>\n")
  file(WRITE ${tree}/tools/Helper.h "#pragma once\n")
endfunction()

set(include_cases
    "sound|src/render/Camera.cpp|#include \"render/Camera.h\"|pass"
    "dotdot|src/render/Camera.cpp|#include \"../scenes/StageScene.h\"|includes through \"../\""
    "dotdot_inner|src/actors/Zako9.h|#  include <render/../scenes/X.h>|includes through \"../\""
    "absolute|src/world/Field.cpp|#include \"TREE/src/scenes/StageScene.h\"|includes an absolute path"
    "absolute_own|src/world/Field.cpp|#include \"TREE/src/world/Field.h\"|includes an absolute path"
    "system|src/world/Field.cpp|#include <SDL.h>|system library header outside src/port/"
    "port_system|src/port/window_sdl.cpp|#include <SDL.h>|pass"
    "outside_layers|src/world/Field.cpp|#include \"../../tools/Helper.h\"|src/world/Field.cpp includes .*/tools/Helper.h, a file of no layer"
    "higher_plain|src/world/Field.cpp|#include \"scenes/X.h\"|src/world/Field.cpp does not preprocess against the world root"
    # Ways round a reading line by line.
    "split|src/world/Field.h|#include \\\n  \"render/../scenes/X.h\"|src/world/Field.h includes src/scenes/X.h of the higher layer scenes"
    "split_directive|src/actors/Zako9.h|#inc\\\nlude \"../scenes/X.h\"|includes through \"../\""
    "macro|src/world/Field.cpp|#define SCENE \"../scenes/StageScene.h\"\n#include SCENE|src/world/Field.cpp includes src/scenes/StageScene.h of the higher layer scenes"
    "macro_system|src/render/Camera.cpp|#define LIBRARY <SDL.h>\n#include LIBRARY|system library header outside src/port/"
    "system_through_port|src/world/Field.cpp|#include \"port/Window.h\"|src/world/Field.cpp includes a system library header outside src/port/: .*SDL.h \\(from src/port/Window.h\\)"
    "sound_split_and_macro|src/world/Field.cpp|#include \\\n\"render/Camera.h\"\n#define OWN \"world/Field.h\"\n#include OWN|pass")
foreach(case IN LISTS include_cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  list(GET parts 2 line)
  list(GET parts 3 expect)
  set(tree ${WORK_DIR}/includes_${name})
  make_tree(${tree})
  string(REPLACE "TREE" "${tree}" line "${line}")
  file(WRITE ${tree}/${file} "// a comment\n${line}\nint x;\n")
  expect_check(includes_${name} check-includes.cmake "${expect}" -DCXX=${CXX} -DSOURCE_DIR=${tree}
               -DLAYER_ROOT=${tree}/layers -DLAYERS=${tree_layers_arg}
               -DSYSTEM_INCLUDES=${SYSTEM_INCLUDES})
endforeach()

# Symbol rules: three layers, low < app < scenes, each an archive built from
# small sources named as the build names its objects, beside the headers that
# declare the program-wide objects.
function(make_archive layer)  # then pairs of object name and source text
  set(objects "")
  set(dir ${WORK_DIR}/${archive_set}/${layer})
  file(MAKE_DIRECTORY ${dir})
  while(ARGN)
    list(POP_FRONT ARGN object text)
    string(REPLACE "@" ";" text "${text}")
    file(WRITE ${dir}/${object}.cpp "${text}\n")
    execute_process(COMMAND ${CXX} -c ${dir}/${object}.cpp -o ${dir}/${object}.cpp.o
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "cannot compile ${object}: ${err}")
    endif()
    list(APPEND objects ${object}.cpp.o)
  endwhile()
  file(REMOVE ${dir}/lib${layer}.a)
  execute_process(COMMAND ${AR} qc lib${layer}.a ${objects} WORKING_DIRECTORY ${dir}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot archive ${layer}")
  endif()
endfunction()

set(application "struct Application { void UpdateTitle()@ void Helper()@ }@")
set(scenes_text "${application} void Application::UpdateTitle() {} int SceneOnly() { return 2@ }")
set(globals_text
    "int g_thing = 1@ int g_second = 2@ int g_hidden = 6@ int GlobalsRoutine() { return 3@ }")
set(other_text "int g_stray = 4@ int AppRoutine() { return 5@ }")
# C++ texts write ";" as "@": a CMake list splits on ";".
# g_thing is declared in a header of low, g_second in one of app, g_hidden in
# none.
set(low_header "#pragma once\n// g_thing, the low layer's\nextern int g_thing@\n")
set(app_header "#pragma once\nextern int g_first,\n    g_second@  // app's\n")
# case | what low uses | what app's dispatch uses | expected [| a further header of low]
set(symbol_cases
    "sound|extern int g_thing@ int Low() { return g_thing@ }|${application} void D() { Application a@ a.UpdateTitle()@ }|pass"
    "stray_object|extern int g_stray@ int Low() { return g_stray@ }|void D() {}|low \\(Low.cpp.o\\) uses g_stray, defined in the higher layer app \\(Other.cpp.o\\)"
    "routine_of_globals|int GlobalsRoutine()@ int Low() { return GlobalsRoutine()@ }|void D() {}|uses _Z14GlobalsRoutinev, defined in the higher layer app"
    "app_routine|int AppRoutine()@ int Low() { return AppRoutine()@ }|void D() {}|uses _Z10AppRoutinev, defined in the higher layer app"
    "scene_routine_below_app|${application} void Low() { Application a@ a.UpdateTitle()@ }|void D() {}|low \\(Low.cpp.o\\) uses _ZN11Application11UpdateTitleEv, defined in the higher layer scenes"
    "scene_function_in_app|int Low() { return 0@ }|int SceneOnly()@ int D() { return SceneOnly()@ }|app \\(Dispatch.cpp.o\\) uses _Z9SceneOnlyv, defined in the higher layer scenes"
    # A program-wide object only where its header stands in the user's layer or below.
    "higher_global|extern int g_second@ int Low() { return g_second@ }|void D() {}|low \\(Low.cpp.o\\) uses g_second: the program-wide object g_second is declared in src/app/Second.h of the higher layer app"
    "undeclared_global|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|uses g_hidden: the program-wide object g_hidden is declared in no header"
    "global_declared_again|extern int g_second@ int Low() { return g_second@ }|void D() {}|uses g_second: the program-wide object g_second is declared in more than one header \\(src/low/Again.h and src/app/Second.h\\)|extern int g_second@"
    "global_of_own_header_in_app|int Low() { return 0@ }|extern int g_second@ int D() { return g_second@ }|pass"
    # Declared only in a comment or a string of a lower header: declared nowhere.
    "global_in_a_line_comment|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|uses g_hidden: the program-wide object g_hidden is declared in no header|// extern int g_hidden@"
    "global_in_a_block_comment|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|uses g_hidden: the program-wide object g_hidden is declared in no header|/* old:\nextern int g_hidden@ */"
    "global_in_a_block_comment_holding_slashes|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|uses g_hidden: the program-wide object g_hidden is declared in no header|/* extern int g_hidden@ // gone */"
    "global_in_a_line_comment_going_on|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|uses g_hidden: the program-wide object g_hidden is declared in no header|// old \\\nextern int g_hidden@"
    "global_in_a_string|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|uses g_hidden: the program-wide object g_hidden is declared in no header|inline const char* kNote = \"extern int g_hidden@\"@"
    "global_after_comment_marks_in_literals|extern int g_hidden@ int Low() { return g_hidden@ }|void D() {}|pass|inline const char* kA = \"/*\"@ inline char kB = '\"'@ inline int kC = 1'000@\nextern int g_hidden@ // */\ninline const char* kD = R\"(\" /* )\"@")
foreach(case IN LISTS symbol_cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 low_text)
  list(GET parts 2 dispatch_text)
  list(GET parts 3 expect)
  set(archive_set symbols_${name})
  set(root ${WORK_DIR}/${archive_set})
  foreach(header low/Thing.h:low_header app/Second.h:app_header)
    string(REPLACE ":" ";" header "${header}")
    list(GET header 0 file)
    list(GET header 1 text)
    string(REPLACE "@" ";" text "${${text}}")
    file(WRITE ${root}/src/${file} "${text}")
  endforeach()
  list(LENGTH parts count)
  if(count GREATER 4)
    list(GET parts 4 again)
    string(REPLACE "@" ";" again "${again}")
    file(WRITE ${root}/src/low/Again.h "${again}\n")
  endif()
  make_archive(low Low "${low_text}")
  make_archive(app Globals "${globals_text}" Other "${other_text}" Dispatch "${dispatch_text}")
  make_archive(scenes Scenes "${scenes_text}")
  expect_check(symbols_${name} check-symbols.cmake "${expect}" -DNM=${NM} -DLAYERS=low,app,scenes
               -DSOURCE_DIR=${root}
               -DARCHIVES=${root}/low/liblow.a,${root}/app/libapp.a,${root}/scenes/libscenes.a)
endforeach()

if(failures)
  message(FATAL_ERROR "a layer check lets a broken case through or rejects a sound one")
endif()
message(STATUS "The layer checks reject every broken case")
