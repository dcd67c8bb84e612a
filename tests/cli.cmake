# torvane-cli end to end: exact request bytes, hits of saved result pages,
# the report pages of a sample project byte for byte, and screenshots of them
# in headless Chromium. Native only: the cross-built program runs under Wine
# in the Hunt tests.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    foreach(cmd request parse report)
      add_test(NAME cli_${cmd}
               COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/cli/${cmd}_test.py
                       $<TARGET_FILE:torvane-cli>)
      set_tests_properties(cli_${cmd} PROPERTIES TIMEOUT 120)
    endforeach()

    # Skipped (77) where Chromium is not installed.
    add_test(NAME report_screenshot
             COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/cli/report_screenshot_test.py
                     $<TARGET_FILE:torvane-cli> ${CMAKE_CURRENT_BINARY_DIR}/screenshots)
    set_tests_properties(report_screenshot PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
  endif()
endif()
