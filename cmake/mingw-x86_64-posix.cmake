# The x86-64 twins of the Windows test programs (posix thread model, for GoogleTest).
set(LAUNCHER_MINGW_ARCH x86_64)
set(LAUNCHER_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
