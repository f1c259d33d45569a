# MinGW-w64 cross toolchain for the Windows test programs: GoogleTest needs std::mutex and
# std::condition_variable, which only the posix thread model has. Nothing built with it ships.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
