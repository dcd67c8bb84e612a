# Hunts through torvane-cli against the hostile server of
# integration/hostile_test.py (loopback only); under Wine like the Hunt
# tests, with the emulator in front of the cross-built program.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  set(_hostile_emulator "")
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE ";" " " _hostile_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  foreach(group VendorChannel Download EveryJobEnds Statuses Ports Pages OneLocationOneHit Terms)
    add_test(NAME hostile_${group}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/integration/hostile_test.py
                     --cli $<TARGET_FILE:torvane-cli> --emulator "${_hostile_emulator}" ${group})
    set_tests_properties(hostile_${group} PROPERTIES TIMEOUT 120 LABELS "integration")
  endforeach()
endif()
