# Feeds the layer checks small trees and archives that break one rule each
# and expects each to be rejected with the right reason, and the sound ones
# accepted (ctest layers_check_rejects).
# Arguments: -DCXX=<compiler> -DAR=<ar> -DNM=<nm> -DWORK_DIR=<scratch folder>
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

# Include rules: one tree per case, one file holding the include.
set(include_cases
    "sound|src/render/Camera.cpp|#include \"render/Camera.h\"|pass"
    "dotdot|src/render/Camera.cpp|#include \"../scenes/StageScene.h\"|includes through \"../\""
    "dotdot_inner|src/actors/Zako9.h|#  include <render/../scenes/X.h>|includes through \"../\""
    "absolute|src/world/Field.cpp|#include \"/work/src/scenes/StageScene.h\"|includes an absolute path"
    "system|src/world/Field.cpp|#include <SDL.h>|system library header outside src/port/"
    "port_system|src/port/window_sdl.cpp|#include <SDL.h>|pass")
foreach(case IN LISTS include_cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  list(GET parts 2 line)
  list(GET parts 3 expect)
  set(tree ${WORK_DIR}/includes_${name})
  file(WRITE ${tree}/${file} "// a comment\n${line}\nint x;\n")
  expect_check(includes_${name} check-includes.cmake "${expect}" -DSOURCE_DIR=${tree})
endforeach()

# Symbol rules: three layers, low < app < scenes, each an archive built from
# small sources named as the build names its objects.
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
set(globals_text "int g_thing = 1@ int g_second = 2@ int GlobalsRoutine() { return 3@ }")
set(other_text "int g_stray = 4@ int AppRoutine() { return 5@ }")
# C++ texts write ";" as "@": a CMake list splits on ";".
# case | what low uses | what app's dispatch uses | expected
set(symbol_cases
    "sound|extern int g_thing@ int Low() { return g_thing@ }|${application} void D() { Application a@ a.UpdateTitle()@ }|pass"
    "stray_object|extern int g_stray@ int Low() { return g_stray@ }|void D() {}|low \\(Low.cpp.o\\) uses g_stray, defined in the higher layer app \\(Other.cpp.o\\)"
    "routine_of_globals|int GlobalsRoutine()@ int Low() { return GlobalsRoutine()@ }|void D() {}|uses _Z14GlobalsRoutinev, defined in the higher layer app"
    "app_routine|int AppRoutine()@ int Low() { return AppRoutine()@ }|void D() {}|uses _Z10AppRoutinev, defined in the higher layer app"
    "scene_routine_below_app|${application} void Low() { Application a@ a.UpdateTitle()@ }|void D() {}|low \\(Low.cpp.o\\) uses _ZN11Application11UpdateTitleEv, defined in the higher layer scenes"
    "scene_function_in_app|int Low() { return 0@ }|int SceneOnly()@ int D() { return SceneOnly()@ }|app \\(Dispatch.cpp.o\\) uses _Z9SceneOnlyv, defined in the higher layer scenes")
foreach(case IN LISTS symbol_cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 low_text)
  list(GET parts 2 dispatch_text)
  list(GET parts 3 expect)
  set(archive_set symbols_${name})
  make_archive(low Low "${low_text}")
  make_archive(app Globals "${globals_text}" Other "${other_text}" Dispatch "${dispatch_text}")
  make_archive(scenes Scenes "${scenes_text}")
  set(root ${WORK_DIR}/${archive_set})
  expect_check(symbols_${name} check-symbols.cmake "${expect}" -DNM=${NM} -DLAYERS=low,app,scenes
               -DARCHIVES=${root}/low/liblow.a,${root}/app/libapp.a,${root}/scenes/libscenes.a)
endforeach()

if(failures)
  message(FATAL_ERROR "a layer check lets a broken case through or rejects a sound one")
endif()
message(STATUS "The layer checks reject every broken case")
