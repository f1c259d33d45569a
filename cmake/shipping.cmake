# The programs that ship, built with the win32 thread model (cmake/mingw-i686.cmake) so that every
# function they import exists on Windows 2000: the launcher, the support report and the benchmark's
# reference program.
enable_language(RC)

# Static runtime, so the programs import only system DLLs; no timestamps, so builds are repeatable.
set(LAUNCHER_LINK_OPTIONS
  -static -static-libgcc -static-libstdc++
  -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0
  -Wl,--major-os-version,5 -Wl,--minor-os-version,0
  -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp
  -municode -s -Wl,--gc-sections
)
# Dropped by the linker where the runtime does not refer to it (platform/windows2000_floor.cpp).
set_source_files_properties(platform/windows2000_floor.cpp PROPERTIES
                            COMPILE_OPTIONS "-ffunction-sections;-fdata-sections;-fno-exceptions;-fno-asynchronous-unwind-tables")

launcher_check_icon()
include(cmake/signing.cmake)
launcher_prepare_signing()
configure_file(res/launcher.rc.in ${CMAKE_BINARY_DIR}/generated/launcher.rc @ONLY)
add_executable(launcher WIN32 launcher/winmain.cpp platform/lean_runtime.cpp
                               platform/windows2000_floor.cpp
                               ${CMAKE_BINARY_DIR}/generated/launcher.rc)
target_link_libraries(launcher PRIVATE launcher_core)
target_link_options(launcher PRIVATE ${LAUNCHER_LINK_OPTIONS})
set_target_properties(launcher PROPERTIES OUTPUT_NAME ${LAUNCHER_OUTPUT_NAME})
# The resource compiler reads the icon: a changed file rebuilds the executable.
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/launcher.rc PROPERTIES
                            OBJECT_DEPENDS ${LAUNCHER_ICON})

# The support report, shipped beside the launcher: a console program over the same launch code.
add_executable(launcher-report report/report_main.cpp platform/lean_runtime.cpp
                               platform/windows2000_floor.cpp)
target_link_libraries(launcher-report PRIVATE launcher_report)
target_link_options(launcher-report PRIVATE ${LAUNCHER_LINK_OPTIONS} -mconsole)

# The installer's decisions, as the NSIS plug-in installation.dll that the installer carries and
# loads while it runs: the same floor as the programs. In a folder of its own, which makensis reads
# as the plug-in folder of this architecture.
add_library(installation_plugin SHARED installer/plugin.cpp platform/lean_runtime.cpp
                                       platform/windows2000_floor.cpp)
target_link_libraries(installation_plugin PRIVATE installer_core)
target_compile_options(installation_plugin PRIVATE ${core_flags})
target_link_options(installation_plugin PRIVATE ${LAUNCHER_LINK_OPTIONS} -Wl,--subsystem,windows:5.0)
set(LAUNCHER_PLUGIN_DIR ${CMAKE_BINARY_DIR}/nsis-plugin)
set_target_properties(installation_plugin PROPERTIES OUTPUT_NAME installation PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${LAUNCHER_PLUGIN_DIR})

# All three are signed after linking when the publisher gives a certificate.
launcher_sign(launcher)
launcher_sign(launcher-report)
launcher_sign(installation_plugin)

# The game's installer, which holds both, the licences and the publisher's game folder; signed as
# they are.
include(cmake/installer.cmake)
set(LAUNCHER_INSTALLER ${CMAKE_BINARY_DIR}/${LAUNCHER_INSTALLER_FILE_NAME}.exe)
launcher_add_installer(installer OUTPUT ${LAUNCHER_INSTALLER}
  LAUNCHER $<TARGET_FILE:launcher> REPORT $<TARGET_FILE:launcher-report>
  PLUGIN $<TARGET_FILE:installation_plugin>
  LAUNCHER_FILE ${LAUNCHER_OUTPUT_NAME}.exe LANDING_URL ${LAUNCHER_LANDING_URL} GAME_NAME ${LAUNCHER_GAME_NAME}
  GAME_VERSION ${LAUNCHER_GAME_VERSION} PUBLISHER ${LAUNCHER_PUBLISHER_NAME} ICON ${LAUNCHER_ICON}
  GAME_FILES "${LAUNCHER_GAME_FILES}" GAME_SHORTCUT ${LAUNCHER_GAME_SHORTCUT}
  SHORTCUT_TARGET "${LAUNCHER_GAME_SHORTCUT_TARGET}" SIGNING_PARAMETERS "${LAUNCHER_SIGNING_PARAMETERS}")

# The benchmark's yardstick: a program that only calls ShellExecuteExW. Not in a publisher's
# release build, which holds only what ships.
option(LAUNCHER_BUILD_REFERENCE "Also build the benchmark's reference program" ON)
if(LAUNCHER_BUILD_REFERENCE)
  add_executable(reference WIN32 tools/bench/reference.cpp)
  target_link_options(reference PRIVATE ${LAUNCHER_LINK_OPTIONS})
endif()

# What ships, gathered by `cmake --install BUILD --prefix FOLDER`: the two programs and the
# installer as built (signed when the build signs them), the licence and the third-party notices
# (with Windows' line ends, for Notepad), and SHA256SUMS over all five, in the format `sha256sum -c`
# reads. The programs are installed as files, not as targets: `--strip` would strip a target, and a
# stripped signed program no longer verifies (the build already strips them, before signing). A
# signed program is verified again before SHA256SUMS is written.
# A SHA256SUMS left by an earlier install into the same folder goes first: until the new one is
# written, nothing in the folder vouches for bytes that may no longer be there.
install(CODE "file(REMOVE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/SHA256SUMS\")")
install(PROGRAMS $<TARGET_FILE:launcher> $<TARGET_FILE:launcher-report> ${LAUNCHER_INSTALLER}
        DESTINATION .)
install(CODE "set(LAUNCHER_SOURCE_DIR [[${CMAKE_SOURCE_DIR}]])
              set(LAUNCHER_PROGRAMS [[${LAUNCHER_OUTPUT_NAME}.exe;launcher-report.exe;${LAUNCHER_INSTALLER_FILE_NAME}.exe]])
              set(LAUNCHER_SIGNING_PARAMETERS [[${LAUNCHER_SIGNING_PARAMETERS}]])")
install(SCRIPT cmake/install-release.cmake)
