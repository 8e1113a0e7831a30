// A Windows helper for the launcher's Wine tests, one program for three jobs:
//
//   WineHelper hold PATH MILLISECONDS none|read|readwrite
//     Opens PATH for reading (creating it when missing) with that sharing, holds it, closes it.
//     No sharing given here lets anyone delete the file while it is held.
//   WineHelper run
//     Starts the command line in TALVORIN_COMMAND_LINE exactly as written, waits, and ends with
//     its exit status. Wine would re-quote arguments given from Unix; the tests need runs of
//     spaces and stray quotes to reach the launcher untouched.
//   WineHelper boxtext OUTPUT
//     Waits for the launcher's error box and writes its caption, whether it shows an icon, its
//     buttons and its text (last, to the end of the file, line breaks as they are) to OUTPUT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char* const BoxCaption = "Talvorin Setup";

static int HoldFile(const char* Path, DWORD Milliseconds, const char* Sharing)
{
    DWORD ShareMode;
    if (std::strcmp(Sharing, "none") == 0)
        ShareMode = 0;
    else if (std::strcmp(Sharing, "read") == 0)
        ShareMode = FILE_SHARE_READ;
    else if (std::strcmp(Sharing, "readwrite") == 0)
        ShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
    else
        return 2;
    const HANDLE File = CreateFileA(Path, GENERIC_READ, ShareMode, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
    {
        std::fprintf(stderr, "WineHelper: cannot open %s (error %lu)\n", Path, GetLastError());
        return 1;
    }
    Sleep(Milliseconds);
    CloseHandle(File);
    return 0;
}

static int RunCommandLine()
{
    const char* Text = std::getenv("TALVORIN_COMMAND_LINE");
    if (Text == nullptr)
        return 2;
    std::string CommandLine = Text;
    STARTUPINFOA Startup;
    std::memset(&Startup, 0, sizeof Startup);
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process;
    if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Process))
    {
        std::fprintf(stderr, "WineHelper: cannot start %s (error %lu)\n", Text, GetLastError());
        return 125;
    }
    WaitForSingleObject(Process.hProcess, INFINITE);
    DWORD Status = 125;
    GetExitCodeProcess(Process.hProcess, &Status);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    return int(Status);
}

struct BoxContent
{
    bool IconShown = false;
    std::string Buttons;
    std::string Text;
};

// WM_GETTEXT rather than GetWindowText: the controls belong to another process, where
// GetWindowText reads only the captions of captioned windows.
static std::string WindowText(HWND Window)
{
    char Buffer[4096];
    DWORD_PTR Length = 0;
    if (!SendMessageTimeoutA(Window, WM_GETTEXT, sizeof Buffer, reinterpret_cast<LPARAM>(Buffer), SMTO_ABORTIFHUNG,
                             5000, &Length))
        return std::string();
    return std::string(Buffer, Length);
}

static BOOL CALLBACK NoteControl(HWND Control, LPARAM Data)
{
    auto& Content = *reinterpret_cast<BoxContent*>(Data);
    char Class[64] = {};
    GetClassNameA(Control, Class, sizeof Class);
    const std::string Text = WindowText(Control);
    if (_stricmp(Class, "Button") == 0)
        Content.Buttons += "button=" + Text + "\n";
    if (_stricmp(Class, "Static") != 0)
        return TRUE;
    // The icon is a static control too, one that a box without an icon keeps hidden.
    const auto Style = GetWindowLongPtrA(Control, GWL_STYLE);
    if ((Style & SS_TYPEMASK) == SS_ICON)
        Content.IconShown = IsWindowVisible(Control) && SendMessageA(Control, STM_GETICON, 0, 0) != 0;
    else if (!Text.empty())
        Content.Text = Text;
    return TRUE;
}

static int WriteBoxText(const char* OutputPath)
{
    for (int Wait = 0; Wait < 300; ++Wait)
    {
        const HWND Box = FindWindowA(nullptr, BoxCaption);
        BoxContent Content;
        if (Box != nullptr)
            EnumChildWindows(Box, NoteControl, reinterpret_cast<LPARAM>(&Content));
        if (Box == nullptr || Content.Text.empty() || Content.Buttons.empty())
        {
            Sleep(100);
            continue;
        }
        FILE* Output = std::fopen(OutputPath, "wb");
        if (Output == nullptr)
            return 1;
        std::fprintf(Output, "caption=%s\nicon=%s\n%stext=%s", WindowText(Box).c_str(),
                     Content.IconShown ? "shown" : "none", Content.Buttons.c_str(), Content.Text.c_str());
        std::fclose(Output);
        return 0;
    }
    std::fprintf(stderr, "WineHelper: no box captioned %s\n", BoxCaption);
    return 1;
}

int main(int ArgumentTotal, char** Arguments)
{
    if (ArgumentTotal == 5 && std::strcmp(Arguments[1], "hold") == 0)
        return HoldFile(Arguments[2], DWORD(std::strtoul(Arguments[3], nullptr, 10)), Arguments[4]);
    if (ArgumentTotal == 2 && std::strcmp(Arguments[1], "run") == 0)
        return RunCommandLine();
    if (ArgumentTotal == 3 && std::strcmp(Arguments[1], "boxtext") == 0)
        return WriteBoxText(Arguments[2]);
    std::fprintf(stderr, "usage: WineHelper hold PATH MILLISECONDS none|read|readwrite | run | boxtext OUTPUT\n");
    return 2;
}
