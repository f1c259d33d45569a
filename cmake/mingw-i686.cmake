# MinGW-w64 cross toolchain for the programs that ship: the launcher and everything built beside it.
# The win32 thread model: the posix one links winpthreads into every C++ program, and winpthreads
# imports functions that Windows 2000 and XP lack (GetTickCount64, AddVectoredExceptionHandler).
set(LAUNCHER_MINGW_ARCH i686)
set(LAUNCHER_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
