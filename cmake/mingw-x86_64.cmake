# Cross toolchain for the x86-64 build of the kernel driver: 64-bit Windows loads only 64-bit drivers.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
