# A comment that pins a behaviour names its test as Suite.Name; each such name
# under src/ must be a test under tests/ (TEST, TEST_F or TEST_P), so a renamed
# test cannot leave a comment pointing nowhere (ctest test_names_hold).
# Arguments: -DSOURCE_DIR=<tree holding src/ and tests/>
cmake_minimum_required(VERSION 3.20)
set(name_pattern "[A-Z][A-Za-z0-9_]*\\.[A-Z][A-Za-z0-9_]*")

file(GLOB_RECURSE test_sources ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h)
set(tests_found 0)
foreach(source IN LISTS test_sources)
  # Whole files: a long declaration wraps after the suite's comma.
  file(READ ${source} text)
  string(REGEX MATCHALL "TEST(_F|_P)?\\([ \t\n]*[A-Za-z0-9_]+,[ \t\n]*[A-Za-z0-9_]+[ \t\n]*\\)"
         declarations "${text}")
  foreach(declaration IN LISTS declarations)
    string(REGEX REPLACE "[ \t\n]" "" declaration "${declaration}")
    string(REGEX REPLACE "^TEST(_F|_P)?\\(([A-Za-z0-9_]+),([A-Za-z0-9_]+)\\)$" "\\2.\\3"
           name "${declaration}")
    set("test_${name}" 1)
    math(EXPR tests_found "${tests_found} + 1")
  endforeach()
endforeach()
if(tests_found EQUAL 0)
  message(FATAL_ERROR "no tests found under ${SOURCE_DIR}/tests")
endif()

set(failures 0)
set(named 0)
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
list(SORT sources)
foreach(source IN LISTS sources)
  file(RELATIVE_PATH file ${SOURCE_DIR} ${source})
  file(STRINGS ${source} comments REGEX "//.*${name_pattern}")
  foreach(line IN LISTS comments)
    string(REGEX REPLACE "^.*//" "" comment "${line}")
    string(REGEX MATCHALL "${name_pattern}" names "${comment}")
    foreach(name IN LISTS names)
      math(EXPR named "${named} + 1")
      if(NOT DEFINED "test_${name}")
        message(SEND_ERROR "${file} names the test ${name}, which does not exist")
        math(EXPR failures "${failures} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} comment(s) name a missing test")
endif()
message(STATUS "${named} test names in comments, all found among ${tests_found} tests")
