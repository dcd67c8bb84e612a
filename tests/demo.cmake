# The demo engine server's own quick check (loopback only), including every
# engine type's page read back by "torvane-cli parse". Native builds only:
# the cross-built program would need Wine, which has its own test group.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter QUIET)
  if(Python3_Interpreter_FOUND)
    add_test(NAME demo_server_selfcheck
             COMMAND Python3::Interpreter
                     ${CMAKE_CURRENT_SOURCE_DIR}/integration/demo_server_selfcheck.py
                     $<TARGET_FILE:torvane-cli>)
    set_tests_properties(demo_server_selfcheck PROPERTIES TIMEOUT 60 LABELS "integration")
  endif()
endif()
