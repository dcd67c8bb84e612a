# The demo engine server's own quick check (loopback only). Native builds
# only: a cross build has no Python next to the program it tests.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter QUIET)
  if(Python3_Interpreter_FOUND)
    add_test(NAME demo_server_selfcheck
             COMMAND ${Python3_EXECUTABLE}
                     ${CMAKE_CURRENT_SOURCE_DIR}/integration/demo_server_selfcheck.py)
    set_tests_properties(demo_server_selfcheck PROPERTIES TIMEOUT 60 LABELS "integration")
  endif()
endif()
