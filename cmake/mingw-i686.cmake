# Cross toolchain: MinGW-w64 for 32-bit x86 Windows, the program's and the tests' build.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
