# MinGW-w64 cross toolchain for the Windows test programs: GoogleTest needs std::mutex and
# std::condition_variable, which only the posix thread model has. Nothing built with it ships.
set(LAUNCHER_MINGW_ARCH i686)
set(LAUNCHER_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
