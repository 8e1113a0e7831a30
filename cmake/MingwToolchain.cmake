# The part of the two Windows toolchain files that does not depend on the architecture. The file
# that includes this sets CMAKE_SYSTEM_PROCESSOR first.
#
# The -win32 variant of Debian's compilers: its libstdc++ and libgcc take their locks and
# once-calls straight from Win32, so a static link brings in no winpthreads and stays smaller.
# The launcher starts no threads of its own, so the -posix variant's std::thread buys nothing.
set(CMAKE_SYSTEM_NAME Windows)

set(TALVORIN_MINGW_PREFIX ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${TALVORIN_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TALVORIN_MINGW_PREFIX}-g++-win32)
set(CMAKE_ASM_COMPILER ${TALVORIN_MINGW_PREFIX}-gcc-win32)
set(CMAKE_RC_COMPILER ${TALVORIN_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TALVORIN_MINGW_PREFIX}-gcc-ar-win32 CACHE FILEPATH "")
set(CMAKE_RANLIB ${TALVORIN_MINGW_PREFIX}-gcc-ranlib-win32 CACHE FILEPATH "")

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TALVORIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
