# The data generator writes JPEG pictures too.
if(TARGET pomelvane_datagen)
  target_link_libraries(pomelvane_datagen PRIVATE PkgConfig::JPEG)
endif()

# The data tests read the manifest and drive the writer and the generator.
if(TARGET pomelvane_tests AND TARGET pomelvane_datagen)
  target_sources(pomelvane_tests PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/datagen/manifest.cpp
    ${CMAKE_SOURCE_DIR}/tools/datagen/output.cpp
    ${CMAKE_SOURCE_DIR}/tools/datagen/image.cpp)
  target_include_directories(pomelvane_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools)
  target_compile_definitions(pomelvane_tests PRIVATE
    POMELVANE_DATAGEN_EXE="$<TARGET_FILE:pomelvane_datagen>")
  add_dependencies(pomelvane_tests pomelvane_datagen)
endif()
