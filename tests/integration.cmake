# The command-line tool against loopback servers: whole Hunts on the demo
# engine server, the hostile servers, the scripting options and the
# dead-link check. The same Python drivers run the cross-built
# torvane-cli.exe under Wine: Python runs on the build machine, the program
# under the emulator. One CTest entry per group, so they run side by side
# and fail apart.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  set(_cli_emulator "")
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE ";" " " _cli_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  function(torvane_cli_tests prefix script timeout)
    foreach(group IN LISTS ARGN)
      add_test(NAME ${prefix}_${group}
               COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/integration/${script}
                       --cli $<TARGET_FILE:torvane-cli> --emulator "${_cli_emulator}" ${group})
      set_tests_properties(${prefix}_${group} PROPERTIES TIMEOUT ${timeout} LABELS "integration")
    endforeach()
  endfunction()
  torvane_cli_tests(hunt_integration hunt_test.py 240
                    WholeHunt JobOrder Failures CancelInTheMiddle)
  torvane_cli_tests(cli_scripting scripting_test.py 240 Formats Stats Remembering Probe)
  torvane_cli_tests(hostile hostile_test.py 120 VendorChannel Download EveryJobEnds Statuses
                    Ports Pages OneLocationOneHit Terms)
  torvane_cli_tests(check check_test.py 120 PresentAndMissing Hostile)
endif()
