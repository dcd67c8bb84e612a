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

# The window itself, driven from outside under Wine on a private X display:
# gui_driver (a second Win32 program) types, clicks, posts commands and
# reads the controls back; fake_browser records the addresses the program
# hands to its browser; gui/gui_test.py runs one case per CTest entry.
if(WIN32 AND CMAKE_CROSSCOMPILING AND TARGET torvane)
  add_executable(torvane_gui_driver gui/driver.cpp)
  target_link_libraries(torvane_gui_driver PRIVATE comctl32 user32)
  target_compile_options(torvane_gui_driver PRIVATE ${TORVANE_WARNINGS})
  add_executable(torvane_fake_browser gui/fake_browser.cpp)
  target_compile_options(torvane_fake_browser PRIVATE ${TORVANE_WARNINGS})

  find_package(Python3 COMPONENTS Interpreter QUIET)
  if(Python3_Interpreter_FOUND)
    set(TORVANE_GUI_CASES
        StartWithoutEngines EngineList EnginePopupOffRows WholeHunt CancelHunt
        CloseDuringHunt Preferences NarrowWindow CatalogueActions HitActions
        SixtyWordQuery ProjectSaveAsOpen ProjectDelete VersionCheck DatabaseUpgrade)
    foreach(case IN LISTS TORVANE_GUI_CASES)
      add_test(NAME gui_${case}
               COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/gui/gui_test.py
                       --exe $<TARGET_FILE:torvane> --driver $<TARGET_FILE:torvane_gui_driver>
                       --browser $<TARGET_FILE:torvane_fake_browser>
                       --cli $<TARGET_FILE:torvane-cli> --state ${CMAKE_BINARY_DIR}/gui
                       ${case})
      # One X display and one Wine prefix for all of them: one at a time.
      set_tests_properties(gui_${case} PROPERTIES TIMEOUT 120 LABELS gui
                           RESOURCE_LOCK torvane_gui_display)
    endforeach()
  endif()
endif()
