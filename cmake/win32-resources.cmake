# Resources of torvane.exe, compiled once into an object library that the GUI
# program and the resource test both link:
#   add_executable(torvane WIN32 ... ${TORVANE_RESOURCE_SOURCES})
# The string table is not kept as a second copy: make_string_rc, built for
# the target from src/util/string_table.cpp, writes strings.rc into the build
# directory at build time (run under the cross-compiling emulator, Wine, when
# there is one; directly on Windows), and torvane.rc includes it.
enable_language(RC)

set(TORVANE_RES_DIR ${CMAKE_SOURCE_DIR}/src/win32/res)
set(TORVANE_STRINGS_RC ${CMAKE_BINARY_DIR}/strings.rc)

add_executable(torvane_make_string_rc ${CMAKE_SOURCE_DIR}/tools/rc_strings/make_string_rc.cpp
                                      ${CMAKE_SOURCE_DIR}/src/util/string_table.cpp)
target_include_directories(torvane_make_string_rc PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(torvane_make_string_rc PRIVATE ${TORVANE_WARNINGS})

# Naming the target as the command makes CMake put the emulator in front.
add_custom_command(
  OUTPUT ${TORVANE_STRINGS_RC}
  COMMAND torvane_make_string_rc strings.rc
  DEPENDS torvane_make_string_rc
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Writing the string table resource strings.rc"
  VERBATIM)

# windres leaves no dependency file, so everything the script pulls in is
# named here.
file(GLOB TORVANE_RES_FILES CONFIGURE_DEPENDS ${TORVANE_RES_DIR}/*.ico ${TORVANE_RES_DIR}/*.bmp
     ${TORVANE_RES_DIR}/*.manifest)
set_source_files_properties(${TORVANE_RES_DIR}/torvane.rc PROPERTIES OBJECT_DEPENDS
  "${TORVANE_STRINGS_RC};${CMAKE_SOURCE_DIR}/src/platform/ids.h;${CMAKE_SOURCE_DIR}/src/util/vendor.h;${TORVANE_RES_FILES}")
# Listed as a header of the library so that its rule belongs to the target.
set_source_files_properties(${TORVANE_STRINGS_RC} PROPERTIES HEADER_FILE_ONLY ON)

add_library(torvane_resources OBJECT ${TORVANE_RES_DIR}/torvane.rc ${TORVANE_STRINGS_RC})
target_include_directories(torvane_resources PRIVATE ${CMAKE_SOURCE_DIR}/src ${TORVANE_RES_DIR}
                                                     ${CMAKE_BINARY_DIR})

set(TORVANE_RESOURCE_SOURCES $<TARGET_OBJECTS:torvane_resources>)

# The resources reach the program through TORVANE_RESOURCE_SOURCES alone; a
# script picked up by a wider source glob would be compiled a second time
# without the generated strings.
if(DEFINED TORVANE_GUI_SOURCES)
  list(FILTER TORVANE_GUI_SOURCES EXCLUDE REGEX "\\.rc$")
endif()
