# Tests of the Windows front end, built for Windows and run under Wine.
# The resource test links the compiled resources of torvane.exe into itself
# and reads them back through the Win32 resource calls.
if(WIN32 AND TARGET torvane_resources)
  # The string table alone, not the whole core: the test compares with it.
  add_executable(torvane_resources_test gui/resources_test.cpp
                 ${CMAKE_SOURCE_DIR}/src/util/string_table.cpp ${TORVANE_RESOURCE_SOURCES})
  target_include_directories(torvane_resources_test PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(torvane_resources_test PRIVATE ${TORVANE_GTEST})
  target_compile_options(torvane_resources_test PRIVATE ${TORVANE_WARNINGS})
  gtest_discover_tests(torvane_resources_test
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 60)
endif()
