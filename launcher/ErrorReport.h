// The launcher's only user interface, the error box, and the short system text of an error code.
#pragma once
#include <cstddef>
#include <string>

#include "Platform.h"

extern const char* const MessageCaption;  // "Talvorin Setup"
extern const char* const LineBreak;       // CR LF

// Shows Text in a modal box with the error icon and an OK button; returns once it is dismissed.
void ShowError(const std::string& Text);

// The system's text for ErrorCode without its trailing periods, spaces and control characters;
// empty when the system has none.
std::string SystemErrorText(DWORD ErrorCode);

// The first Length bytes of Text less every trailing period and every trailing byte of code 32
// or less (bytes compared unsigned).
std::string TrimSystemText(const char* Text, size_t Length);
