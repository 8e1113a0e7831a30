// A scripted stand-in for the platform calls, for the few faults and inputs that the system
// cannot be made to produce here: a file that stays undeletable for root, a raw Windows command
// line (POSIX hands a program its arguments already split), a wait that fails.
#pragma once
#include <string>
#include <vector>

#include "Platform.h"

struct FakeScript
{
    std::string CommandLine;
    // When set, handed out instead of CommandLine: a block of the line's exact size, in which a
    // read past the terminating zero faults at once under the sanitizer.
    char* CommandLineBlock = nullptr;
    std::string ModulePath = "/opt/launcher/Install";
    int QueriesBeforeGone = 1000;  // attribute queries that still find the file
    bool DeleteSucceeds = false;
    bool StartSucceeds = true;
    DWORD StartError = 2;
    DWORD WaitResult = WAIT_OBJECT_0;
    DWORD WaitError = 0;  // what the failed wait leaves as last error, if it sets any
    bool WaitSetsError = false;
};

extern FakeScript Fake;
extern std::vector<std::string> FakeEvents;
