# torvane-cli check against the demo server's FTP responder and hostile FTP
# servers (loopback only); under Wine like the Hunt tests, with the emulator
# in front of the cross-built program.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  set(_check_emulator "")
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE ";" " " _check_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  foreach(group PresentAndMissing Hostile)
    add_test(NAME check_${group}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/integration/check_test.py
                     --cli $<TARGET_FILE:torvane-cli> --emulator "${_check_emulator}" ${group})
    set_tests_properties(check_${group} PROPERTIES TIMEOUT 120 LABELS "integration")
  endforeach()
endif()
