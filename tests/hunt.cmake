# Whole Hunts through torvane-cli against the demo engine server, on
# loopback only. The same driver runs the cross-built torvane-cli.exe under
# Wine: Python runs on the build machine, the program under the emulator.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  set(_hunt_emulator "")
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE ";" " " _hunt_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  # One CTest entry per group, so they run side by side and fail apart.
  foreach(group WholeHunt JobOrder Failures CancelInTheMiddle)
    add_test(NAME hunt_integration_${group}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/integration/hunt_test.py
                     --cli $<TARGET_FILE:torvane-cli> --emulator "${_hunt_emulator}" ${group})
    set_tests_properties(hunt_integration_${group} PROPERTIES TIMEOUT 240 LABELS "integration")
  endforeach()
endif()
# torvane-cli for scripts (output formats, statistics, remembered projects,
# the engine probe), natively and under Wine alike.
if(Python3_Interpreter_FOUND)
  foreach(group Formats Stats Remembering Probe)
    add_test(NAME cli_scripting_${group}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/integration/scripting_test.py
                     --cli $<TARGET_FILE:torvane-cli> --emulator "${_hunt_emulator}" ${group})
    set_tests_properties(cli_scripting_${group} PROPERTIES TIMEOUT 240 LABELS "integration")
  endforeach()
endif()
