# The program smoke test: the real executable on a virtual X display.
if(POMELVANE_TESTS)
  find_package(X11)
  find_program(XVFB_EXECUTABLE Xvfb)
  if(X11_FOUND AND XVFB_EXECUTABLE)
    add_executable(pomelvane_window_probe ${CMAKE_SOURCE_DIR}/tools/smoke/window_probe.cpp)
    target_link_libraries(pomelvane_window_probe PRIVATE X11::X11)
    add_test(NAME pomelvane_smoke
      COMMAND bash ${CMAKE_SOURCE_DIR}/tools/smoke/run-smoke.sh
              $<TARGET_FILE:pomelvane> $<TARGET_FILE:pomelvane_window_probe> ${POMELVANE_RUN_DIR})
    add_test(NAME pomelvane_smoke_fullscreen
      COMMAND bash ${CMAKE_SOURCE_DIR}/tools/smoke/run-smoke.sh
              $<TARGET_FILE:pomelvane> $<TARGET_FILE:pomelvane_window_probe> ${POMELVANE_RUN_DIR} fullscreen)
    add_test(NAME pomelvane_smoke_nodata
      COMMAND bash ${CMAKE_SOURCE_DIR}/tools/smoke/run-smoke.sh
              $<TARGET_FILE:pomelvane> $<TARGET_FILE:pomelvane_window_probe> ${POMELVANE_RUN_DIR} nodata)
    # Several starts, each with its window resized over and over as it comes up.
    add_test(NAME pomelvane_smoke_resize_at_start
      COMMAND bash ${CMAKE_SOURCE_DIR}/tools/smoke/run-smoke.sh
              $<TARGET_FILE:pomelvane> $<TARGET_FILE:pomelvane_window_probe> ${POMELVANE_RUN_DIR}
              resize-at-start)
    set_tests_properties(pomelvane_smoke pomelvane_smoke_fullscreen pomelvane_smoke_nodata
      PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
    set_tests_properties(pomelvane_smoke_resize_at_start PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)
  else()
    message(WARNING "X11 development files or Xvfb missing: the program smoke test is left out")
  endif()
endif()

# Sanitizer runs of the game keep every library loaded (see the file), so a
# library's leak at exit carries its name and its suppression applies.
if(POMELVANE_TESTS)
  add_library(pomelvane_keep_libraries MODULE ${CMAKE_SOURCE_DIR}/tools/smoke/keep_libraries.c)
  target_compile_options(pomelvane_keep_libraries PRIVATE -fno-sanitize=all)
  target_link_options(pomelvane_keep_libraries PRIVATE -fno-sanitize=all)
  if(TEST pomelvane_smoke)
    set_property(TEST pomelvane_smoke pomelvane_smoke_fullscreen pomelvane_smoke_nodata
      pomelvane_smoke_resize_at_start APPEND PROPERTY ENVIRONMENT
      "POMELVANE_KEEP_LIBRARIES=$<TARGET_FILE:pomelvane_keep_libraries>")
  endif()
endif()

# The hostile-file tests run the game itself.
if(TARGET pomelvane_tests AND TARGET pomelvane)
  target_compile_definitions(pomelvane_tests PRIVATE POMELVANE_GAME_EXE="$<TARGET_FILE:pomelvane>"
    POMELVANE_KEEP_LIBRARIES="$<TARGET_FILE:pomelvane_keep_libraries>")
  add_dependencies(pomelvane_tests pomelvane pomelvane_keep_libraries)
endif()
