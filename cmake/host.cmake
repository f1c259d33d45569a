# Host builds: the logic and platform code against the fake Windows.
#   default            unit tests
#   LAUNCHER_SANITIZE  the same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   LAUNCHER_FUZZ      libFuzzer targets instead of unit tests
option(LAUNCHER_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(LAUNCHER_FUZZ "Build the libFuzzer targets (clang)" OFF)

find_package(GTest REQUIRED)

if(LAUNCHER_SANITIZE OR LAUNCHER_FUZZ)
  set(SANITIZERS address,undefined)
  if(LAUNCHER_FUZZ)
    set(SANITIZERS fuzzer-no-link,${SANITIZERS})
  endif()
  add_compile_options(-fsanitize=${SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  # The objects above are already built; give the core the same instrumentation.
  target_compile_options(launcher_core PRIVATE -fsanitize=${SANITIZERS} -fno-sanitize-recover=all)
  target_compile_options(launcher_report PRIVATE -fsanitize=${SANITIZERS} -fno-sanitize-recover=all)
endif()

add_library(fake_windows STATIC tests/fake_windows/fake_windows.cpp)
target_include_directories(fake_windows PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(fake_windows PUBLIC GTest::gtest)

if(LAUNCHER_FUZZ)
  include(cmake/fuzz.cmake)
  return()
endif()

add_executable(unit_tests
  platform/text_test.cpp
  platform/services_test.cpp
  platform/registry_test.cpp
  launcher/launcher_test.cpp
  launcher/browser_lookup_test.cpp
  report/report_test.cpp
  watch/browser_watch_test.cpp
  watch/process_watch_test.cpp
)
# launcher_core before fake_windows: the core's Win32 calls resolve in the fake.
target_link_libraries(unit_tests PRIVATE launcher_report launcher_core fake_windows GTest::gtest_main)

if(LAUNCHER_SANITIZE)
  add_test(NAME unit.sanitized COMMAND unit_tests --gtest_brief=1)
  set_tests_properties(unit.sanitized PROPERTIES LABELS "unit;sanitizer")
else()
  add_test(NAME unit COMMAND unit_tests --gtest_brief=1)
  set_tests_properties(unit PROPERTIES LABELS unit)

  # How the scripts tell a host without 32-bit code (scripts/host-kind).
  add_test(NAME unit.host-kind COMMAND ${CMAKE_SOURCE_DIR}/tests/host-kind-test)
  set_tests_properties(unit.host-kind PROPERTIES LABELS unit)

  # The launcher's own sources, checked with the repository's .clang-tidy.
  find_program(CLANG_TIDY clang-tidy REQUIRED)
  get_target_property(CORE_SOURCES launcher_core SOURCES)
  list(APPEND CORE_SOURCES report/report.cpp)
  list(FILTER CORE_SOURCES EXCLUDE REGEX "^/")  # the generated address constant
  list(TRANSFORM CORE_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
  add_test(NAME lint.clang-tidy COMMAND ${CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet ${CORE_SOURCES})
  set_tests_properties(lint.clang-tidy PROPERTIES LABELS lint)
endif()
