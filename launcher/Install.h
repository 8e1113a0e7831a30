// The launcher's whole run: unpack the setup program and its package file into the temporary
// directory, run the setup program, wait, and remove everything, showing at most one message.
#pragma once
#include <cstdint>
#include <string>

// Runs the sequence once and answers the process exit status: 0 on every way out. Exhausted
// memory never comes back here: it stops the process with 203.
int RunInstall();

// The sequence's state, kept until the process ends.
extern std::string ErrorText;
extern int32_t PacketSize;
extern unsigned char* InflatedData;
extern unsigned char* ExpandedOutput;
extern int32_t ExpandedSize;
