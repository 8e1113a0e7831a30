// The one seam between the launcher and its platform. The launcher is written against the ANSI
// Win32 calls: on Windows they are the real ones, elsewhere our own POSIX layer provides them.
// The separator that ends the temporary directory is the only other difference.
#pragma once

#if defined(_WIN32)
#include <windows.h>
constexpr char PathSeparator = '\\';
#else
#include "PosixWin32.h"
constexpr char PathSeparator = '/';
#endif
