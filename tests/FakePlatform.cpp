#include "FakePlatform.h"

#include <cstring>

FakeScript Fake;
std::vector<std::string> FakeEvents;

static DWORD LastError;
static int ProcessToken, ThreadToken;

DWORD GetLastError()
{
    return LastError;
}

void SetLastError(DWORD ErrorCode)
{
    FakeEvents.push_back("SetLastError " + std::to_string(ErrorCode));
    LastError = ErrorCode;
}

DWORD FormatMessageA(DWORD, LPCVOID, DWORD MessageId, DWORD, LPSTR Buffer, DWORD Size, va_list*)
{
    const std::string Text = "text of " + std::to_string(MessageId) + ".\r\n";
    if (Text.size() >= Size)
        return 0;
    std::memcpy(Buffer, Text.c_str(), Text.size() + 1);
    return DWORD(Text.size());
}

int MessageBoxA(HWND, LPCSTR Text, LPCSTR Caption, UINT Type)
{
    FakeEvents.push_back(std::string("MessageBox ") + Caption + " " + std::to_string(Type) + " " + Text);
    return IDOK;
}

DWORD GetFileAttributesA(LPCSTR)
{
    FakeEvents.push_back("GetFileAttributes");
    if (Fake.QueriesBeforeGone-- <= 0)
        return INVALID_FILE_ATTRIBUTES;
    return FILE_ATTRIBUTE_NORMAL;
}

BOOL DeleteFileA(LPCSTR)
{
    FakeEvents.push_back("DeleteFile");
    return Fake.DeleteSucceeds ? TRUE : FALSE;
}

void Sleep(DWORD Milliseconds)
{
    FakeEvents.push_back("Sleep " + std::to_string(Milliseconds));
}

LPSTR GetCommandLineA()
{
    return Fake.CommandLineBlock != nullptr ? Fake.CommandLineBlock : Fake.CommandLine.data();
}

DWORD GetModuleFileNameA(HMODULE, LPSTR FileName, DWORD Size)
{
    const size_t Length = Fake.ModulePath.size();
    if (Length >= Size)
    {
        std::memcpy(FileName, Fake.ModulePath.data(), Size - 1);
        FileName[Size - 1] = '\0';
        return Size;
    }
    std::memcpy(FileName, Fake.ModulePath.c_str(), Length + 1);
    return DWORD(Length);
}

BOOL CreateProcessA(LPCSTR ApplicationName, LPSTR CommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL InheritHandles, DWORD CreationFlags, LPVOID Environment, LPCSTR CurrentDirectory,
                    LPSTARTUPINFOA StartupInfo, LPPROCESS_INFORMATION Process)
{
    const bool Plain = ApplicationName == nullptr && !InheritHandles && CreationFlags == 0 && Environment == nullptr &&
                       CurrentDirectory == nullptr && StartupInfo->cb == sizeof(STARTUPINFOA);
    FakeEvents.push_back(std::string("CreateProcess ") + (Plain ? "" : "(unexpected arguments) ") + CommandLine);
    if (!Fake.StartSucceeds)
    {
        LastError = Fake.StartError;
        return FALSE;
    }
    Process->hProcess = &ProcessToken;
    Process->hThread = &ThreadToken;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE Handle, DWORD Milliseconds)
{
    FakeEvents.push_back(std::string("Wait ") + (Handle == &ProcessToken ? "process " : "other ") +
                         (Milliseconds == INFINITE ? "infinite" : "timed"));
    if (Fake.WaitSetsError)
        LastError = Fake.WaitError;
    return Fake.WaitResult;
}

BOOL CloseHandle(HANDLE Object)
{
    FakeEvents.push_back(Object == &ProcessToken ? "CloseHandle process"
                         : Object == &ThreadToken ? "CloseHandle thread"
                                                  : "CloseHandle other");
    return TRUE;
}

// Not reached by the modules under test here.
DWORD GetTempPathA(DWORD, LPSTR)
{
    return 0;
}

HANDLE CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    return INVALID_HANDLE_VALUE;
}

BOOL WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, OVERLAPPED*)
{
    return FALSE;
}
