// A scripted stand-in for the platform calls that reading the launcher's command line and
// starting the setup program make. Unlike tests/FakePlatform.cpp it hands out the command line
// that the fuzz target put in a block of exactly its size, so that a read past the terminating
// zero faults at once.
#pragma once
#include <string>

#include "Platform.h"

struct ScriptedPlatform
{
    char* CommandLine = nullptr;
    std::string ModulePath;
    // What the last CreateProcessA was given.
    std::string StartedCommandLine;
};

extern ScriptedPlatform Scripted;
