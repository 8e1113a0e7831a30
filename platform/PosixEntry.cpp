// The process entry on POSIX: the launcher takes its command line from the system, as on Windows.
#include "Install.h"

int main()
{
    return RunInstall();
}
