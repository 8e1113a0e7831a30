// Starting the setup program and waiting for it, and reading the launcher's own command line
// into the arguments that the setup program receives.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t MaxArgumentLength = 4096;

// Reads one argument of CommandLine from Position and moves Position to the first character
// not stepped over. Separators are the codes 1 to 32; a double quote only switches them to
// literal and never becomes part of an argument; there is no escape character.
std::string ReadArgument(const char* CommandLine, size_t& Position);

// The number of arguments after the program name on the launcher's command line.
int32_t ArgumentCount();

// Argument Index of the launcher's command line; index 0 is the launcher's own module path.
std::string ArgumentAt(int32_t Index);

// The quoted setup program, the launcher's arguments one by one, and the install switch.
std::string BuildSetupCommandLine(const std::string& SetupProgramPath);

// Starts the setup program and waits for it without a time limit; shows its own message when
// the start or the wait fails. True once the program has ended.
bool RunSetupProgram();

extern std::string SetupCommandLine;
