# torvane-cli parse: hits of saved result pages, byte for byte, run natively
# (the cross-built program would need Wine, which has its own test group).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME cli_parse
             COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/cli/parse_test.py
                     $<TARGET_FILE:torvane-cli>)
    set_tests_properties(cli_parse PROPERTIES TIMEOUT 120)
  endif()
endif()
