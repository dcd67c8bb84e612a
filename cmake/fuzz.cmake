# libFuzzer targets (clang only), included by the top-level CMakeLists.txt
# when TORVANE_FUZZ is on.
#
# The targets link their own copy of the core, torvane_core_fuzz, built
# from the same sources with coverage instrumentation (fuzzer-no-link) and
# AddressSanitizer + UndefinedBehaviorSanitizer. Without coverage in the
# code under test libFuzzer only sees the harness and stops finding new
# inputs within minutes. A separate copy keeps torvane_core as it ships:
# the unit tests, torvane-cli and the benchmarks of the same build directory
# link code without coverage callbacks, whatever TORVANE_SANITIZE says.
#
# Each tests/fuzz/<name>_fuzz.cpp becomes fuzz/<name>_fuzz in the build
# directory; scripts/fuzz runs them.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TORVANE_FUZZ needs clang (libFuzzer); this is ${CMAKE_CXX_COMPILER_ID}")
endif()

set(TORVANE_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

add_library(torvane_core_fuzz STATIC ${TORVANE_CORE_SOURCES})
target_include_directories(torvane_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(torvane_core_fuzz PRIVATE ${TORVANE_WARNINGS} -fsanitize=fuzzer-no-link
                       ${TORVANE_FUZZ_SANITIZERS})
# Whatever links the copy needs the sanitizer runtimes it calls into.
target_link_options(torvane_core_fuzz INTERFACE -fsanitize=address,undefined)

file(GLOB TORVANE_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(src IN LISTS TORVANE_FUZZ_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE torvane_core_fuzz)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz)
  target_compile_options(${name} PRIVATE ${TORVANE_WARNINGS} -fsanitize=fuzzer
                         ${TORVANE_FUZZ_SANITIZERS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endforeach()
