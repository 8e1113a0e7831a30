// The process entry of the Windows launcher: a GUI program without a window of its own, and the
// pieces of the C++ runtime that it replaces to stay small.
#include <cstdlib>
#include <exception>
#include <string>

#include "Install.h"
#include "Platform.h"

// libstdc++'s default terminate handler demangles the escaping exception's type and prints it to
// stderr, which a GUI program does not have: the demangler and the formatted printing that come
// with it would be the largest part of the image. Nothing escapes RunInstall, and both handlers
// end in abort.
namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

// The library's throw helpers build std::logic_error and its kin, whose message strings bring in
// a second whole string implementation. The launcher catches only with catch (...) and never looks
// at what it caught, so an empty record does the same work. Every helper of the library's set is
// here: were one missing, the linker would fetch the library's set and refuse the duplicates.
namespace
{
struct LibraryFault
{
};
}  // namespace

namespace std
{
void __throw_bad_exception() { throw LibraryFault(); }
void __throw_bad_alloc() { throw LibraryFault(); }
void __throw_bad_array_new_length() { throw LibraryFault(); }
void __throw_bad_cast() { throw LibraryFault(); }
void __throw_bad_typeid() { throw LibraryFault(); }
void __throw_logic_error(const char*) { throw LibraryFault(); }
void __throw_domain_error(const char*) { throw LibraryFault(); }
void __throw_invalid_argument(const char*) { throw LibraryFault(); }
void __throw_length_error(const char*) { throw LibraryFault(); }
void __throw_out_of_range(const char*) { throw LibraryFault(); }
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryFault(); }
void __throw_runtime_error(const char*) { throw LibraryFault(); }
void __throw_range_error(const char*) { throw LibraryFault(); }
void __throw_overflow_error(const char*) { throw LibraryFault(); }
void __throw_underflow_error(const char*) { throw LibraryFault(); }
}  // namespace std

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunInstall();
}
