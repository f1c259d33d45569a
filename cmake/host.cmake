# Host build: the logic and platform code against the fake Windows, with the unit tests.
find_package(GTest REQUIRED)

add_library(fake_windows STATIC tests/fake_windows/fake_windows.cpp)
target_include_directories(fake_windows PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(fake_windows PUBLIC GTest::gtest)

add_executable(unit_tests
  platform/text_test.cpp
  platform/services_test.cpp
  platform/registry_test.cpp
  launcher/launcher_test.cpp
  launcher/browser_lookup_test.cpp
  watch/browser_watch_test.cpp
  watch/process_watch_test.cpp
)
# launcher_core before fake_windows: the core's Win32 calls resolve in the fake.
target_link_libraries(unit_tests PRIVATE launcher_core fake_windows GTest::gtest_main)

add_test(NAME unit COMMAND unit_tests --gtest_brief=1)
set_tests_properties(unit PROPERTIES LABELS unit)
