#include "FuzzPlatform.h"

#include <cstring>

ScriptedPlatform Scripted;

static DWORD LastError;
static int ProcessToken, ThreadToken;

LPSTR GetCommandLineA()
{
    return Scripted.CommandLine;
}

// As on Windows: a path that does not fit is cut, and the answer is the whole room.
DWORD GetModuleFileNameA(HMODULE, LPSTR FileName, DWORD Size)
{
    const size_t Length = Scripted.ModulePath.size();
    if (Length >= Size)
    {
        std::memcpy(FileName, Scripted.ModulePath.data(), Size - 1);
        FileName[Size - 1] = '\0';
        return Size;
    }
    std::memcpy(FileName, Scripted.ModulePath.c_str(), Length + 1);
    return DWORD(Length);
}

BOOL CreateProcessA(LPCSTR, LPSTR CommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                    LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION Process)
{
    Scripted.StartedCommandLine = CommandLine;
    Process->hProcess = &ProcessToken;
    Process->hThread = &ThreadToken;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE, DWORD)
{
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE)
{
    return TRUE;
}

DWORD GetLastError()
{
    return LastError;
}

void SetLastError(DWORD ErrorCode)
{
    LastError = ErrorCode;
}

DWORD FormatMessageA(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, va_list*)
{
    return 0;
}

int MessageBoxA(HWND, LPCSTR, LPCSTR, UINT)
{
    return IDOK;
}

// Not reached from the command line; the modules linked with it call them.
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

DWORD GetFileAttributesA(LPCSTR)
{
    return INVALID_FILE_ATTRIBUTES;
}

BOOL DeleteFileA(LPCSTR)
{
    return TRUE;
}

void Sleep(DWORD)
{
}
