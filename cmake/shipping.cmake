# The programs that ship, built with the win32 thread model (cmake/mingw-i686.cmake) so that every
# function they import exists on Windows 2000: the launcher and the benchmark's reference program.
enable_language(RC)

# Static runtime, so the programs import only system DLLs; no timestamps, so builds are repeatable.
set(LAUNCHER_LINK_OPTIONS
  -static -static-libgcc -static-libstdc++
  -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,0
  -Wl,--major-os-version,5 -Wl,--minor-os-version,0
  -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp
  -municode -s -Wl,--gc-sections
)
target_compile_options(launcher_core PRIVATE -ffunction-sections -fdata-sections)

add_executable(launcher WIN32 launcher/winmain.cpp platform/lean_runtime.cpp res/launcher.rc)
target_link_libraries(launcher PRIVATE launcher_core)
target_link_options(launcher PRIVATE ${LAUNCHER_LINK_OPTIONS})
set_target_properties(launcher PROPERTIES OUTPUT_NAME launcher)

# The benchmark's yardstick: a program that only calls ShellExecuteExW.
add_executable(reference WIN32 tools/bench/reference.cpp)
target_link_options(reference PRIVATE ${LAUNCHER_LINK_OPTIONS})
