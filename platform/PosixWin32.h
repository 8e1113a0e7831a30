// The Win32 calls and types that the launcher uses, provided on POSIX with the results the
// launcher relies on. Only what the launcher calls is here, and only the forms it calls.
//
// Error codes are errno values. Codes from LoaderErrorCode on stand for the dynamic loader's
// own message of the thread's last failed load.
#pragma once
#include <cstdarg>
#include <cstdint>

using DWORD = uint32_t;
using BOOL = int;
using UINT = unsigned;
using WORD = uint16_t;
using BYTE = unsigned char;
using LPBYTE = BYTE*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using HANDLE = void*;
using HWND = void*;
using HMODULE = void*;
using HINSTANCE = void*;
using FARPROC = void (*)();

#define WINAPI

struct SECURITY_ATTRIBUTES
{
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED;

struct STARTUPINFOA
{
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION
{
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
constexpr DWORD MAX_PATH = 260;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(intptr_t(-1)))
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// The first of the codes that stand for a loader message (bit 29: an application's own code).
constexpr DWORD LoaderErrorCode = 0x20000000;

DWORD GetLastError();
void SetLastError(DWORD ErrorCode);
DWORD FormatMessageA(DWORD Flags, LPCVOID Source, DWORD MessageId, DWORD LanguageId, LPSTR Buffer, DWORD Size,
                     va_list* Arguments);

DWORD GetTempPathA(DWORD BufferLength, LPSTR Buffer);
HANDLE CreateFileA(LPCSTR FileName, DWORD DesiredAccess, DWORD ShareMode, LPSECURITY_ATTRIBUTES SecurityAttributes,
                   DWORD CreationDisposition, DWORD FlagsAndAttributes, HANDLE TemplateFile);
BOOL WriteFile(HANDLE File, LPCVOID Buffer, DWORD NumberOfBytesToWrite, LPDWORD NumberOfBytesWritten,
               OVERLAPPED* Overlapped);
BOOL CloseHandle(HANDLE Object);
DWORD GetFileAttributesA(LPCSTR FileName);
BOOL DeleteFileA(LPCSTR FileName);
void Sleep(DWORD Milliseconds);

int MessageBoxA(HWND Owner, LPCSTR Text, LPCSTR Caption, UINT Type);

HMODULE LoadLibraryA(LPCSTR FileName);
FARPROC GetProcAddress(HMODULE Module, LPCSTR ProcName);
BOOL FreeLibrary(HMODULE Module);

LPSTR GetCommandLineA();
DWORD GetModuleFileNameA(HMODULE Module, LPSTR FileName, DWORD Size);
BOOL CreateProcessA(LPCSTR ApplicationName, LPSTR CommandLine, LPSECURITY_ATTRIBUTES ProcessAttributes,
                    LPSECURITY_ATTRIBUTES ThreadAttributes, BOOL InheritHandles, DWORD CreationFlags,
                    LPVOID Environment, LPCSTR CurrentDirectory, LPSTARTUPINFOA StartupInfo,
                    LPPROCESS_INFORMATION ProcessInformation);
DWORD WaitForSingleObject(HANDLE Handle, DWORD Milliseconds);

[[noreturn]] void ExitProcess(UINT ExitCode);
