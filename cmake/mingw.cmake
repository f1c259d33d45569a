# MinGW-w64 cross toolchain, shared by the four toolchain files. The file that includes this one
# sets LAUNCHER_MINGW_ARCH (i686, what ships; x86_64, its twin for hosts that run no 32-bit code)
# and LAUNCHER_MINGW_THREADS (win32 for the programs that ship; posix for the test programs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LAUNCHER_MINGW_ARCH})
set(CMAKE_C_COMPILER ${LAUNCHER_MINGW_ARCH}-w64-mingw32-gcc-${LAUNCHER_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${LAUNCHER_MINGW_ARCH}-w64-mingw32-g++-${LAUNCHER_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${LAUNCHER_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LAUNCHER_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
