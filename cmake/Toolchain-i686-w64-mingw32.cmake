# Cross build for 32-bit Windows (the shipping target) with Debian's mingw-w64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
