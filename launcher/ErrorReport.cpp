#include "ErrorReport.h"

const char* const MessageCaption = "Talvorin Setup";
const char* const LineBreak = "\r\n";

void ShowError(const std::string& Text)
{
    MessageBoxA(nullptr, Text.c_str(), MessageCaption, MB_OK | MB_ICONERROR);
}

std::string SystemErrorText(DWORD ErrorCode)
{
    char Buffer[256];
    // No values are given for inserts, so they must be left as they stand: without that, a text
    // with an insert ("%1 is not a valid Win32 application", the answer to loading a damaged
    // library) would have the system read values from an array that is not there.
    DWORD Length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, ErrorCode, 0, Buffer, sizeof Buffer, nullptr);
    if (Length >= sizeof Buffer)
        Length = sizeof Buffer - 1;
    return TrimSystemText(Buffer, Length);
}

std::string TrimSystemText(const char* Text, size_t Length)
{
    // The usual text ends in a period and a line break; neither belongs in a message that puts
    // the text after a path.
    while (Length > 0)
    {
        const auto Last = static_cast<unsigned char>(Text[Length - 1]);
        if (Last != '.' && Last > 32)
            break;
        --Length;
    }
    return std::string(Text, Length);
}
