# What the target platform gives the build: the zlib dynamic library that the launcher carries
# (never links) and the headers its inflate stage is compiled against.
if(WIN32)
  # Debian's libz-mingw-w64 for the target architecture.
  find_file(TALVORIN_ZLIB_IMAGE zlib1.dll PATHS /usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32/lib
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
else()
  find_library(TALVORIN_ZLIB_LINK NAMES z REQUIRED)
  # The library file itself, not the development link to it.
  get_filename_component(TALVORIN_ZLIB_IMAGE "${TALVORIN_ZLIB_LINK}" REALPATH)
endif()
find_path(TALVORIN_ZLIB_INCLUDE zlib.h REQUIRED)
message(STATUS "zlib image carried by the launcher: ${TALVORIN_ZLIB_IMAGE}")

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsBuild.cmake)
  set(TALVORIN_ENTRY_SOURCE ${PROJECT_SOURCE_DIR}/platform/WindowsEntry.cpp)
else()
  set(TALVORIN_ENTRY_SOURCE ${PROJECT_SOURCE_DIR}/platform/PosixEntry.cpp)
endif()
