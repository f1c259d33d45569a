# Windows build: the launcher itself, the platform tests of the real Win32 code and the end-to-end
# scenarios, all run under Wine by CTest.
enable_language(RC)

# Static runtime, so the launcher imports only system DLLs; no timestamps, so builds are repeatable.
set(LAUNCHER_LINK_OPTIONS
  -static -static-libgcc -static-libstdc++
  -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0
  -Wl,--major-os-version,5 -Wl,--minor-os-version,0
  -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp
)
target_compile_options(launcher_core PRIVATE -ffunction-sections -fdata-sections)

add_executable(launcher WIN32 launcher/winmain.cpp res/launcher.rc)
target_link_libraries(launcher PRIVATE launcher_core)
target_link_options(launcher PRIVATE ${LAUNCHER_LINK_OPTIONS} -municode -s -Wl,--gc-sections)
set_target_properties(launcher PROPERTIES OUTPUT_NAME launcher)

# GoogleTest from the machine's sources, built for Windows.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)



set(WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(WINE_ENV WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix)

add_library(wine_test_support STATIC tests/wine/test_files.cpp tests/wine/registry_support.cpp)
target_include_directories(wine_test_support PUBLIC ${CMAKE_SOURCE_DIR})

# A Windows test program run under Wine by CTest.
function(add_wine_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE launcher_core wine_test_support gtest_main ${ARG_LIBS})
  target_link_options(${name} PRIVATE -static)
  add_test(NAME ${ARG_LABEL}.${name} COMMAND ${WINE_RUN} $<TARGET_FILE:${name}> --gtest_brief=1)
  set_tests_properties(${ARG_LABEL}.${name} PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT "${WINE_ENV}"
                       FIXTURES_REQUIRED wine_prefix)
endfunction()

add_test(NAME wine.prefix COMMAND ${WINE_RUN} cmd /c exit 0)
set_tests_properties(wine.prefix PROPERTIES LABELS wine ENVIRONMENT "${WINE_ENV}"
                     FIXTURES_SETUP wine_prefix)

add_wine_test(platform_tests LABEL wine SOURCES
  platform/services_wine_test.cpp
  platform/text_wine_test.cpp
  platform/registry_wine_test.cpp
)

# End-to-end scenarios: the real launcher under Wine with stand-in programs.
add_executable(standin WIN32 tests/e2e/standin.cpp)
target_link_libraries(standin PRIVATE wine_test_support)
target_link_options(standin PRIVATE -static -municode)

add_library(e2e_support STATIC tests/e2e/scenario.cpp)
target_link_libraries(e2e_support PUBLIC wine_test_support gtest ole32 uuid)

add_wine_test(e2e_tests LABEL e2e LIBS e2e_support SOURCES
  tests/e2e/launch_spine_e2e_test.cpp
  tests/e2e/browser_e2e_test.cpp
)
add_dependencies(e2e_tests launcher standin)
# Scenarios share the prefix's registry: one at a time. Their timings (and the watch tests') want
# the CPU, which the fuzzers would otherwise take.
set_tests_properties(e2e.e2e_tests PROPERTIES RUN_SERIAL TRUE)

add_wine_test(watch_tests LABEL wine LIBS psapi SOURCES watch/watch_wine_test.cpp)
add_dependencies(watch_tests standin)
set_tests_properties(wine.watch_tests PROPERTIES RESOURCE_LOCK cpu_timing)

add_library(wgame_planted SHARED tests/wine/planted_dll.cpp)
set_target_properties(wgame_planted PROPERTIES PREFIX "")
target_link_options(wgame_planted PRIVATE -static)
add_wine_test(dll_search_tests LABEL wine SOURCES platform/dll_search_wine_test.cpp)
add_dependencies(dll_search_tests wgame_planted)

# The executable's headers, imports and resources.
add_test(NAME build.executable COMMAND ${CMAKE_SOURCE_DIR}/tests/check-executable $<TARGET_FILE:launcher>)
set_tests_properties(build.executable PROPERTIES LABELS build)

# Two builds of the launcher, in different folders, give the same bytes.
add_test(NAME build.reproducible
         COMMAND ${CMAKE_SOURCE_DIR}/tests/reproducible-build $<TARGET_FILE:launcher>
                 ${CMAKE_BINARY_DIR}/reproducible)
set_tests_properties(build.reproducible PROPERTIES LABELS build)

# The benchmark: a reference program that only calls ShellExecuteExW, and the driver that measures
# both under Wine (scripts/bench).
add_executable(reference WIN32 tools/bench/reference.cpp)
target_link_options(reference PRIVATE ${LAUNCHER_LINK_OPTIONS} -municode -s)
add_executable(bench_driver tools/bench/bench_driver.cpp)
target_link_libraries(bench_driver PRIVATE launcher_core wine_test_support psapi)
target_link_options(bench_driver PRIVATE -static -municode)
