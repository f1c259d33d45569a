# Windows test programs (posix thread model, cmake/mingw-<arch>-posix.cmake): the platform tests of
# the real Win32 code and the end-to-end scenarios, run under Wine by CTest. The programs that ship
# are built by their own toolchain in shipped/, as an external project, and land beside the test
# programs, so that the scenarios run the very executable that ships.
#
# Two architectures, one preset each: i686 (win32), what ships, and x86_64 (win64), its twin from
# the same sources. A Wine test's name and labels say its architecture. The Wine layer of an
# architecture is registered only where the host runs that code itself (scripts/host-kind); where
# the kernel runs no 32-bit code, the x86_64 build runs a few scenarios of the shipped i686
# launcher under emulation instead (label emulated).
include(ExternalProject)

set(ARCH ${CMAKE_SYSTEM_PROCESSOR})
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/host-kind OUTPUT_VARIABLE HOST_KIND
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(HOST_KIND MATCHES "^32bit ")
  set(HOST_RUNS_I686 ON)
else()
  set(HOST_RUNS_I686 OFF)
endif()
if(HOST_RUNS_I686 OR ARCH STREQUAL "x86_64")
  set(WINE_RUNS_HERE ON)
else()
  set(WINE_RUNS_HERE OFF)
endif()
message(STATUS "Host: ${HOST_KIND}. The ${ARCH} Wine layer runs here: ${WINE_RUNS_HERE}")

ExternalProject_Add(shipped
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/shipped
  CMAKE_CACHE_ARGS
    -DCMAKE_TOOLCHAIN_FILE:FILEPATH=${CMAKE_SOURCE_DIR}/cmake/mingw-${ARCH}.cmake
    -DCMAKE_BUILD_TYPE:STRING=MinSizeRel
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY:PATH=${CMAKE_BINARY_DIR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/launcher.exe ${CMAKE_BINARY_DIR}/launcher-report.exe
                   ${CMAKE_BINARY_DIR}/reference.exe ${CMAKE_BINARY_DIR}/shipped/launcher-setup.exe
                   ${CMAKE_BINARY_DIR}/shipped/nsis-plugin/installation.dll
)
set(SHIPPED_LAUNCHER ${CMAKE_BINARY_DIR}/launcher.exe)
set(SHIPPED_REPORT ${CMAKE_BINARY_DIR}/launcher-report.exe)
set(SHIPPED_INSTALLER ${CMAKE_BINARY_DIR}/shipped/launcher-setup.exe)
set(SHIPPED_PLUGIN ${CMAKE_BINARY_DIR}/shipped/nsis-plugin/installation.dll)

# GoogleTest from the machine's sources, built for Windows.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run)
set(WINE_ENV WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix)
set(WINE_PREFIX_FIXTURE wine_prefix_${ARCH})

add_library(wine_test_support STATIC tests/wine/test_files.cpp tests/wine/registry_support.cpp)
target_include_directories(wine_test_support PUBLIC ${CMAKE_SOURCE_DIR})

# A Windows test program, run under Wine by CTest as LABEL.ARCH.NAME where this host runs it.
function(add_wine_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE launcher_core wine_test_support gtest_main ${ARG_LIBS})
  target_link_options(${name} PRIVATE -static)
  if(WINE_RUNS_HERE)
    launcher_add_test(${ARG_LABEL}.${ARCH}.${name}
      COMMAND ${WINE_RUN} $<TARGET_FILE:${name}> --gtest_brief=1
      PROPERTIES ENVIRONMENT "${WINE_ENV}" FIXTURES_REQUIRED ${WINE_PREFIX_FIXTURE} ${ARG_PROPERTIES})
  endif()
endfunction()

if(WINE_RUNS_HERE)
  launcher_add_test(wine.${ARCH}.prefix COMMAND ${WINE_RUN} cmd /c exit 0
    PROPERTIES ENVIRONMENT "${WINE_ENV}" FIXTURES_SETUP ${WINE_PREFIX_FIXTURE})
endif()

add_wine_test(platform_tests LABEL wine SOURCES
  platform/services_wine_test.cpp
  platform/text_wine_test.cpp
  platform/registry_wine_test.cpp
  platform/windows2000_floor.cpp
  platform/windows2000_floor_wine_test.cpp
)

# End-to-end scenarios: the real launcher under Wine with stand-in programs.
add_executable(standin WIN32 tests/e2e/standin.cpp)
target_link_libraries(standin PRIVATE wine_test_support)
target_link_options(standin PRIVATE -static -municode)

add_library(e2e_support STATIC tests/e2e/scenario.cpp)
target_link_libraries(e2e_support PUBLIC wine_test_support gtest ole32 uuid)

# The demonstration game's installers, as a publisher's build makes them, from this architecture's
# shipped programs and a game folder of stand-ins: play.url (tests/e2e/demo-game), the companion
# fscommand\wgame.exe, and a shortcut to it that the installer makes. Version 1.0 also has
# extras\intro.txt (tests/e2e/demo-game-1.0), which 2.0 no longer has; 2.0's launcher is the
# shipped one with its version appended past its image, so that its bytes differ and it still runs.
# The installer scenario installs, updates and uninstalls them, and the demonstration (scripts/run)
# installs 1.0.
include(cmake/installer.cmake)
file(WRITE ${CMAKE_BINARY_DIR}/append-version.cmake
     "file(COPY_FILE \${IN} \${OUT})\nfile(APPEND \${OUT} \"\\nWgame Demo \${VERSION}\\n\")\n")
foreach(version 1.0 2.0)
  set(game ${CMAKE_BINARY_DIR}/demo-game-${version})
  set(copy_version_files "")
  set(launcher ${SHIPPED_LAUNCHER})
  set(installer ${CMAKE_BINARY_DIR}/wgame-demo-setup.exe)
  if(version STREQUAL "1.0")
    set(copy_version_files COMMAND ${CMAKE_COMMAND} -E copy_directory
                           ${CMAKE_SOURCE_DIR}/tests/e2e/demo-game-1.0 ${game})
  else()
    set(launcher ${CMAKE_BINARY_DIR}/demo-launcher-${version}/launcher.exe)
    set(installer ${CMAKE_BINARY_DIR}/wgame-demo-${version}-setup.exe)
    add_custom_command(OUTPUT ${launcher}
      COMMAND ${CMAKE_COMMAND} -DIN=${SHIPPED_LAUNCHER} -DOUT=${launcher} -DVERSION=${version}
              -P ${CMAKE_BINARY_DIR}/append-version.cmake
      DEPENDS shipped ${SHIPPED_LAUNCHER}
      VERBATIM)
  endif()
  add_custom_command(OUTPUT ${game}.stamp
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${game}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/tests/e2e/demo-game ${game}
    ${copy_version_files}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:standin> ${game}/fscommand/wgame.exe
    COMMAND ${CMAKE_COMMAND} -E touch ${game}.stamp
    DEPENDS standin ${CMAKE_SOURCE_DIR}/tests/e2e/demo-game/play.url
            ${CMAKE_SOURCE_DIR}/tests/e2e/demo-game-1.0/extras/intro.txt
    VERBATIM)
  string(REPLACE "." "_" target demo_installer_${version})
  launcher_add_installer(${target} OUTPUT ${installer}
    LAUNCHER ${launcher} REPORT ${SHIPPED_REPORT} PLUGIN ${SHIPPED_PLUGIN} LAUNCHER_FILE launcher.exe
    LANDING_URL ${LAUNCHER_LANDING_URL}
    GAME_NAME "Wgame Demo" GAME_VERSION ${version} PUBLISHER www.wgame.example
    ICON ${CMAKE_SOURCE_DIR}/res/launcher.ico GAME_FILES ${game} GAME_DEPENDS ${game}.stamp
    GAME_SHORTCUT Companion.lnk SHORTCUT_TARGET fscommand\\wgame.exe)
  add_dependencies(${target} shipped)
endforeach()
add_custom_target(demo_installer DEPENDS demo_installer_1_0 demo_installer_2_0)

# Scenarios share the prefix's registry: one at a time. Their timings (and the watch tests') want
# the CPU, which the fuzzers would otherwise take.
add_wine_test(e2e_tests LABEL e2e LIBS e2e_support PROPERTIES RUN_SERIAL TRUE SOURCES
  tests/e2e/launch_spine_e2e_test.cpp
  tests/e2e/browser_e2e_test.cpp
  tests/e2e/user_choice_latest_e2e_test.cpp
  tests/e2e/report_e2e_test.cpp
  tests/e2e/branded_e2e_test.cpp
  tests/e2e/installer_e2e_test.cpp
)
add_dependencies(e2e_tests shipped standin demo_installer)

add_wine_test(watch_tests LABEL wine LIBS psapi PROPERTIES RESOURCE_LOCK cpu_timing SOURCES
  watch/watch_wine_test.cpp)
add_dependencies(watch_tests standin)

add_library(wgame_planted SHARED tests/wine/planted_dll.cpp)
set_target_properties(wgame_planted PROPERTIES PREFIX "")
target_link_options(wgame_planted PRIVATE -static)
add_wine_test(dll_search_tests LABEL wine SOURCES platform/dll_search_wine_test.cpp)
add_dependencies(dll_search_tests wgame_planted)

# A launcher built with a publisher's options carries them: its name, its icon, its signature, and
# its address, which reaches a stand-in browser under Wine.
if(WINE_RUNS_HERE)
  launcher_add_test(e2e.${ARCH}.branded-build
    COMMAND ${CMAKE_SOURCE_DIR}/tests/branded-build ${CMAKE_BINARY_DIR}/branded
            $<TARGET_FILE:e2e_tests> ${CMAKE_SOURCE_DIR}/cmake/mingw-${ARCH}.cmake
    PROPERTIES ENVIRONMENT "${WINE_ENV}" FIXTURES_REQUIRED ${WINE_PREFIX_FIXTURE} RUN_SERIAL TRUE)
endif()

# The report as a player meets it after a double-click, in a console of its own on a terminal made
# for the test: it copies its text to the clipboard when asked, and closes at Enter.
add_executable(clipboard_text tests/e2e/clipboard_text.cpp)
target_link_libraries(clipboard_text PRIVATE wine_test_support)
target_link_options(clipboard_text PRIVATE -static -municode)
# A double-clicked i686 report sits alone in its console: Wine's 32-bit loader starts it itself.
set(REPORT_CONSOLE ${CMAKE_SOURCE_DIR}/tests/e2e/report-console)
if(ARCH STREQUAL "i686")
  set(REPORT_CONSOLE ${REPORT_CONSOLE} --i386-loader)
endif()
if(WINE_RUNS_HERE)
  launcher_add_test(e2e.${ARCH}.report-console
    COMMAND ${REPORT_CONSOLE} ${WINE_RUN} ${SHIPPED_REPORT} $<TARGET_FILE:clipboard_text>
            ${CMAKE_BINARY_DIR}/report-console
    PROPERTIES ENVIRONMENT "${WINE_ENV}" FIXTURES_REQUIRED ${WINE_PREFIX_FIXTURE} RUN_SERIAL TRUE)
  add_dependencies(clipboard_text shipped)
endif()

# The benchmark driver, which measures the shipped launcher against the reference program under
# Wine (scripts/bench).
add_executable(bench_driver tools/bench/bench_driver.cpp)
target_link_libraries(bench_driver PRIVATE launcher_core wine_test_support psapi)
target_link_options(bench_driver PRIVATE -static -municode)

set(LAUNCHER_SHIPPED_I686_DIR ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH
    "x86_64 build: the folder of the shipped i686 launcher.exe and launcher-report.exe")

if(ARCH STREQUAL "i686")
  # The shipped executables' headers, imports and resources; and proof that the import check sees
  # an import Windows 2000 lacks (a program made to import GetTickCount64). They read the files
  # only, so they run on every host.
  set(check ${CMAKE_SOURCE_DIR}/tests/check-executable)
  launcher_add_test(build.executable COMMAND ${check} ${SHIPPED_LAUNCHER})
  launcher_add_test(build.report-executable COMMAND ${check} --report ${SHIPPED_REPORT})
  launcher_add_test(build.installer-executable COMMAND ${check} --installer ${SHIPPED_INSTALLER})
  # The installer's own plug-in, which it unpacks and loads as it does NSIS's: the floor, and the
  # functions its script calls, read from the file.
  launcher_add_test(build.installer-plugin-installation
    COMMAND ${check} --plugin BeginUpdate,CommitUpdate,CompareVersions,EndPrograms,FinishUninstall,Lock,ProcessId,RecordState,RemoveShortcuts,RollBackUpdate,RunningPrograms,SameFolder,Uninstall
            ${SHIPPED_PLUGIN})
  # The NSIS plugin the installer unpacks and loads while it runs (the finish page's UserInfo),
  # from the folder makensis takes it from.
  execute_process(COMMAND ${LAUNCHER_MAKENSIS} -HDRINFO OUTPUT_VARIABLE nsis_info ERROR_QUIET)
  set(nsis_dir "makensis -HDRINFO named no NSISDIR")
  if(nsis_info MATCHES "NSISDIR=([^,\r\n]+)")
    set(nsis_dir ${CMAKE_MATCH_1})
  endif()
  launcher_add_test(build.installer-plugin-UserInfo
    COMMAND ${check} --installer ${nsis_dir}/Plugins/x86-unicode/UserInfo.dll)
  launcher_add_test(build.reference-executable
    COMMAND ${check} --imports-only ${CMAKE_BINARY_DIR}/reference.exe)
  add_executable(newer_import tests/newer_import.cpp)
  target_compile_definitions(newer_import PRIVATE _WIN32_WINNT=0x0600)
  launcher_add_test(build.import-check-refuses-newer
    COMMAND ${check} --imports-only $<TARGET_FILE:newer_import>
    PROPERTIES PASS_REGULAR_EXPRESSION "KERNEL32.dll GetTickCount64: needs Windows 6.0")

  # Two builds of the launcher and of the installer, in different folders, give the same bytes.
  launcher_add_test(build.reproducible
    COMMAND ${CMAKE_SOURCE_DIR}/tests/reproducible-build ${SHIPPED_LAUNCHER} ${SHIPPED_INSTALLER}
            ${CMAKE_BINARY_DIR}/reproducible)

  # The publisher's signed build: its refusals, its verified and repeatable signatures.
  launcher_add_test(build.signed
    COMMAND ${CMAKE_SOURCE_DIR}/tests/signed-build ${CMAKE_BINARY_DIR}/signed)
  # The same with a key on a (SoftHSM2) token, through PKCS#11; and the signature taken off again.
  launcher_add_test(build.token-signed
    COMMAND ${CMAKE_SOURCE_DIR}/tests/token-signed-build ${CMAKE_BINARY_DIR}/token-signed
            ${SHIPPED_LAUNCHER})
elseif(NOT HOST_RUNS_I686)
  # No 32-bit code here: the shipped i686 launcher and report (the very files the build checks
  # of the win32 preset read) run under emulation, driven by this x86_64 harness with x86_64
  # stand-ins. The scenarios cover what the twin cannot show: the 32-bit start-up and trimmed
  # runtime, the calling convention of the functions bound by name (the DLL search calls at every
  # start, the process list in the wait and in the report), structure sizes, 32-bit exception
  # unwinding, and the 32-bit view of the registry. Only scenarios whose checks are of order, not
  # of time: an emulated launcher takes up to a second longer over its shell calls.
  # Each in their own prefix (wineprefix-emulated), made once emulation is there. Serial: they
  # take a whole core, which the timed tests must not lose.
  set(emulated PROPERTIES ENVIRONMENT WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-emulated
               RUN_SERIAL TRUE SKIP_RETURN_CODE 77 TIMEOUT 600)
  launcher_add_test(emulated.i686.e2e_tests
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/run-emulated ${LAUNCHER_SHIPPED_I686_DIR}
            $<TARGET_FILE:e2e_tests>
            --gtest_filter=ReportScenario.NewRoute:ReportScenario.BrowserAlreadyRunning:BrowserScenario.OldSystemsRouteReadsTheClassCommandLowerCased:BrowserScenario.NonTextProgidIsCaughtAndTheAddressGoesToTheShell:InstallerScenario.*
    ${emulated})
  # The platform tests of the i686 test build, for the 32-bit layout of the system's process
  # information and the Windows 2000 floor's thread-id fallback, which exists for i686 alone.
  launcher_add_test(emulated.i686.platform_tests
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/run-emulated ${LAUNCHER_SHIPPED_I686_DIR}
            ${LAUNCHER_SHIPPED_I686_DIR}/platform_tests.exe --gtest_brief=1
    ${emulated})
  # The shipped report in a console of its own, started by Wine's 32-bit loader under the
  # emulator, with this build's clipboard reader.
  launcher_add_test(emulated.i686.report-console
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/run-emulated ${LAUNCHER_SHIPPED_I686_DIR} --command
            ${CMAKE_SOURCE_DIR}/tests/e2e/report-console --i386-loader ${WINE_RUN}
            ${LAUNCHER_SHIPPED_I686_DIR}/launcher-report.exe $<TARGET_FILE:clipboard_text>
            ${CMAKE_BINARY_DIR}/report-console-emulated
    ${emulated})
endif()
