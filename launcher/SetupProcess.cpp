#include "SetupProcess.h"

#include <cstring>

#include "ErrorReport.h"
#include "Platform.h"
#include "TempFiles.h"

std::string SetupCommandLine;

static bool IsSeparator(unsigned char Character)
{
    return Character >= 1 && Character <= 32;
}

std::string ReadArgument(const char* CommandLine, size_t& Position)
{
    const auto* Text = reinterpret_cast<const unsigned char*>(CommandLine);
    for (;;)
    {
        while (IsSeparator(Text[Position]))
            ++Position;
        if (Text[Position] != '"' || Text[Position + 1] != '"')
            break;
        Position += 2;
    }
    std::string Argument;
    while (Text[Position] > 32 && Argument.size() < MaxArgumentLength)
    {
        if (Text[Position] != '"')
        {
            Argument += char(Text[Position++]);
            continue;
        }
        ++Position;
        while (Text[Position] != '\0' && Text[Position] != '"')
        {
            // A quoted stretch that would carry the argument past the limit loses its rest:
            // going on would read it as separate arguments and put every later one askew.
            if (Argument.size() < MaxArgumentLength)
                Argument += char(Text[Position]);
            ++Position;
        }
        if (Text[Position] == '"')
            ++Position;
    }
    return Argument;
}

int32_t ArgumentCount()
{
    const char* CommandLine = GetCommandLineA();
    size_t Position = 0;
    ReadArgument(CommandLine, Position);
    int32_t Count = 0;
    while (!ReadArgument(CommandLine, Position).empty())
        ++Count;
    return Count;
}

std::string ArgumentAt(int32_t Index)
{
    if (Index == 0)
    {
        char Buffer[MAX_PATH + 1];
        const DWORD Length = GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
        // A path the room cannot hold comes back cut; a cut path would name some other file.
        if (Length == 0 || Length >= sizeof Buffer)
            return std::string();
        return std::string(Buffer, Length);
    }
    const char* CommandLine = GetCommandLineA();
    size_t Position = 0;
    std::string Argument = ReadArgument(CommandLine, Position);
    for (int32_t Read = 0; Read < Index && !Argument.empty(); ++Read)
        Argument = ReadArgument(CommandLine, Position);
    return Argument;
}

std::string BuildSetupCommandLine(const std::string& SetupProgramPath)
{
    std::string CommandLine = "\"" + SetupProgramPath + "\"";
    // Arguments 1 to ArgumentCount, each exactly as ArgumentAt reads it, in one pass over the
    // line: asking ArgumentAt for each in turn reads the line again from its start every time,
    // which for a long command line of short arguments costs a second before setup starts.
    const char* LauncherLine = GetCommandLineA();
    size_t Position = 0;
    ReadArgument(LauncherLine, Position);
    for (std::string Argument = ReadArgument(LauncherLine, Position); !Argument.empty();
         Argument = ReadArgument(LauncherLine, Position))
        CommandLine += " " + Argument;
    CommandLine += " /install=\"" + ArgumentAt(0) + "\"";
    return CommandLine;
}

static void CloseProcessHandles(const PROCESS_INFORMATION& Process)
{
    CloseHandle(Process.hProcess);
    CloseHandle(Process.hThread);
}

bool RunSetupProgram()
{
    STARTUPINFOA StartupInfo;
    std::memset(&StartupInfo, 0, sizeof StartupInfo);
    StartupInfo.cb = sizeof StartupInfo;
    PROCESS_INFORMATION Process;
    std::memset(&Process, 0, sizeof Process);

    SetupCommandLine = BuildSetupCommandLine(SetupExePath);
    if (!CreateProcessA(nullptr, SetupCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &StartupInfo, &Process))
    {
        const DWORD ErrorCode = GetLastError();
        ShowError("Failed to execute program: " + SetupExePath + LineBreak + SystemErrorText(ErrorCode));
        return false;
    }
    bool Ended;
    try
    {
        // A wait that fails without saying why then reads as the text for code 0.
        SetLastError(0);
        Ended = WaitForSingleObject(Process.hProcess, INFINITE) == WAIT_OBJECT_0;
        if (!Ended)
        {
            const DWORD ErrorCode = GetLastError();
            ShowError("Failed to wait for setup process to complete: " + SystemErrorText(ErrorCode));
        }
    }
    catch (...)
    {
        CloseProcessHandles(Process);
        throw;
    }
    CloseProcessHandles(Process);
    return Ended;
}
