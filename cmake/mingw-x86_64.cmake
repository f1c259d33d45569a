# The x86-64 twin of the programs that ship, built exactly as they are (win32 thread model, the
# same link options), for hosts whose kernel runs no 32-bit code. Never shipped.
set(LAUNCHER_MINGW_ARCH x86_64)
set(LAUNCHER_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
