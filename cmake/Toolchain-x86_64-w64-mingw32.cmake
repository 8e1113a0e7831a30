# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
