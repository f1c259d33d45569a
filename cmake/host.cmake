# Host builds: the logic and platform code against the fake Windows.
#   default            unit tests
#   LAUNCHER_SANITIZE  the same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   LAUNCHER_FUZZ      libFuzzer targets instead of unit tests
find_package(GTest REQUIRED)

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
  installer/record_test.cpp
  installer/installation_test.cpp
)
# The core libraries before fake_windows: their Win32 calls resolve in the fake.
target_link_libraries(unit_tests PRIVATE launcher_report installer_core launcher_core fake_windows
                                         GTest::gtest_main)

if(LAUNCHER_SANITIZE)
  launcher_add_test(unit.sanitized COMMAND unit_tests --gtest_brief=1 LABELS sanitizer)
else()
  launcher_add_test(unit COMMAND unit_tests --gtest_brief=1)

  # How the scripts tell a host without 32-bit code (scripts/host-kind).
  launcher_add_test(unit.host-kind COMMAND ${CMAKE_SOURCE_DIR}/tests/host-kind-test)

  # The README and the guides name only what exists (links, presets, scripts, options, tests), and
  # the check says so of a copy that names what does not.
  launcher_add_test(unit.doc-links COMMAND ${CMAKE_SOURCE_DIR}/tests/check-doc-links ${CMAKE_SOURCE_DIR})
  launcher_add_test(unit.doc-links-catches
    COMMAND ${CMAKE_SOURCE_DIR}/tests/check-doc-links-catches ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/doc-links-copy)

  # The launcher's own sources, checked with the repository's .clang-tidy.
  find_program(CLANG_TIDY clang-tidy REQUIRED)
  get_target_property(CORE_SOURCES launcher_core SOURCES)
  list(APPEND CORE_SOURCES report/report.cpp installer/record.cpp installer/installation.cpp)
  list(FILTER CORE_SOURCES EXCLUDE REGEX "^/")  # the generated address constant
  list(TRANSFORM CORE_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
  launcher_add_test(lint.clang-tidy COMMAND ${CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet ${CORE_SOURCES})
endif()
