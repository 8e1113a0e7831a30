// Our own POSIX provision of the Win32 calls that the launcher makes. Each call does what the
// launcher relies on and reports failures through the thread's last error, as errno values.
#include "PosixWin32.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace
{
enum class HandleKind
{
    File,
    Process,
    Thread
};

// What a HANDLE points to on POSIX.
struct PosixHandle
{
    HandleKind Kind;
    int Descriptor;
    pid_t ProcessId;
    bool Ended;
};

thread_local DWORD LastError = 0;
// The loader's message of the thread's last failed load or lookup, for FormatMessageA.
thread_local char LoaderMessage[512];

PosixHandle* HandleRecord(HANDLE Handle)
{
    if (Handle == nullptr || Handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return static_cast<PosixHandle*>(Handle);
}

// Keeps the loader's text without the file name in front of it: the launcher's message names
// the file already.
void SaveLoaderMessage(const char* FileName)
{
    const char* Text = dlerror();
    if (Text == nullptr)
        Text = "unknown loader error";
    const size_t NameLength = FileName != nullptr ? std::strlen(FileName) : 0;
    if (NameLength != 0 && std::strncmp(Text, FileName, NameLength) == 0 && std::strncmp(Text + NameLength, ": ", 2) == 0)
        Text += NameLength + 2;
    std::strncpy(LoaderMessage, Text, sizeof LoaderMessage - 1);
    LoaderMessage[sizeof LoaderMessage - 1] = '\0';
    SetLastError(LoaderErrorCode);
}

bool IsSeparator(unsigned char Character)
{
    return Character >= 1 && Character <= 32;
}

// Splits a command line the way the launcher reads its own: separators 1 to 32, double quotes
// only switch separators to literal and never reach an argument, no escape character. Unlike
// the launcher's own reading it sets no length limit on an argument.
std::vector<std::string> SplitCommandLine(const char* CommandLine)
{
    std::vector<std::string> Arguments;
    const auto* Position = reinterpret_cast<const unsigned char*>(CommandLine);
    for (;;)
    {
        while (IsSeparator(*Position) || (Position[0] == '"' && Position[1] == '"'))
            Position += IsSeparator(*Position) ? 1 : 2;
        if (*Position == '\0')
            return Arguments;
        std::string Argument;
        while (*Position > 32)
        {
            if (*Position != '"')
            {
                Argument += char(*Position++);
                continue;
            }
            ++Position;
            while (*Position != '\0' && *Position != '"')
                Argument += char(*Position++);
            if (*Position == '"')
                ++Position;
        }
        Arguments.push_back(Argument);
    }
}

bool NeedsQuotes(const std::string& Argument)
{
    if (Argument.empty())
        return true;
    for (unsigned char Character : Argument)
        if (IsSeparator(Character))
            return true;
    return false;
}

std::string ReadCommandLine()
{
    std::string Line;
    const int Descriptor = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (Descriptor < 0)
        return Line;
    std::string Raw;
    char Chunk[4096];
    ssize_t Count;
    while ((Count = read(Descriptor, Chunk, sizeof Chunk)) > 0)
        Raw.append(Chunk, size_t(Count));
    close(Descriptor);
    size_t Start = 0;
    while (Start < Raw.size())
    {
        size_t End = Raw.find('\0', Start);
        if (End == std::string::npos)
            End = Raw.size();
        const std::string Argument = Raw.substr(Start, End - Start);
        if (!Line.empty())
            Line += ' ';
        if (NeedsQuotes(Argument))
            Line += '"' + Argument + '"';
        else
            Line += Argument;
        Start = End + 1;
    }
    return Line;
}
}  // namespace

DWORD GetLastError()
{
    return LastError;
}

void SetLastError(DWORD ErrorCode)
{
    LastError = ErrorCode;
}

DWORD FormatMessageA(DWORD Flags, LPCVOID, DWORD MessageId, DWORD, LPSTR Buffer, DWORD Size, va_list*)
{
    if ((Flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || Buffer == nullptr || Size == 0)
    {
        SetLastError(EINVAL);
        return 0;
    }
    const char* Text;
    char SystemText[256];
    if (MessageId == LoaderErrorCode)
        Text = LoaderMessage;
    else
    {
        Text = strerror_r(int(MessageId), SystemText, sizeof SystemText);
        // glibc answers every number; one it does not know is no system text.
        if (MessageId > 0x7FFFFFFF || std::strncmp(Text, "Unknown error", 13) == 0)
            Text = "";
    }
    size_t Length = std::strlen(Text);
    if (Length == 0)
    {
        SetLastError(ENOENT);
        return 0;
    }
    // A long loader text is cut to the room given rather than lost.
    if (Length >= Size)
        Length = Size - 1;
    std::memcpy(Buffer, Text, Length);
    Buffer[Length] = '\0';
    return DWORD(Length);
}

DWORD GetTempPathA(DWORD BufferLength, LPSTR Buffer)
{
    const char* Directory = std::getenv("TMPDIR");
    if (Directory == nullptr || *Directory == '\0')
        Directory = "/tmp";
    const size_t Length = std::strlen(Directory);
    const bool AddSeparator = Directory[Length - 1] != '/';
    const size_t Needed = Length + (AddSeparator ? 1 : 0);
    // As on Windows: when it does not fit, the answer is the room it needs, zero included.
    if (Needed + 1 > BufferLength || Buffer == nullptr)
        return DWORD(Needed + 1);
    std::memcpy(Buffer, Directory, Length);
    if (AddSeparator)
        Buffer[Length] = '/';
    Buffer[Needed] = '\0';
    return DWORD(Needed);
}

HANDLE CreateFileA(LPCSTR FileName, DWORD DesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD CreationDisposition,
                   DWORD, HANDLE)
{
    // Share modes have no POSIX counterpart; the attributes are only hints.
    if (FileName == nullptr || DesiredAccess != GENERIC_WRITE || CreationDisposition != CREATE_ALWAYS)
    {
        SetLastError(EINVAL);
        return INVALID_HANDLE_VALUE;
    }
    // Never through a symbolic link, never blocked by a FIFO, never inherited by a child; the
    // file is cut to zero length only once it is known to be ours.
    const int Descriptor = open(FileName, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0700);
    if (Descriptor < 0)
    {
        SetLastError(DWORD(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat Status;
    int Error = 0;
    if (fstat(Descriptor, &Status) != 0)
        Error = errno;
    else if (!S_ISREG(Status.st_mode))
        Error = EEXIST;
    else if (Status.st_uid != geteuid())
        Error = EPERM;
    else if (Status.st_nlink > 1)
        Error = EMLINK;  // a hard link would let the write reach another name
    else if (ftruncate(Descriptor, 0) != 0 || fchmod(Descriptor, 0700) != 0 || fcntl(Descriptor, F_SETFL, 0) != 0)
        Error = errno;
    if (Error != 0)
    {
        close(Descriptor);
        SetLastError(DWORD(Error));
        return INVALID_HANDLE_VALUE;
    }
    return new PosixHandle{HandleKind::File, Descriptor, 0, false};
}

BOOL WriteFile(HANDLE File, LPCVOID Buffer, DWORD NumberOfBytesToWrite, LPDWORD NumberOfBytesWritten, OVERLAPPED*)
{
    if (NumberOfBytesWritten != nullptr)
        *NumberOfBytesWritten = 0;
    const PosixHandle* Record = HandleRecord(File);
    if (Record == nullptr || Record->Kind != HandleKind::File)
    {
        SetLastError(EBADF);
        return FALSE;
    }
    const ssize_t Written = write(Record->Descriptor, Buffer, NumberOfBytesToWrite);
    if (Written < 0)
    {
        SetLastError(DWORD(errno));
        return FALSE;
    }
    if (NumberOfBytesWritten != nullptr)
        *NumberOfBytesWritten = DWORD(Written);
    return TRUE;
}

BOOL CloseHandle(HANDLE Object)
{
    PosixHandle* Record = HandleRecord(Object);
    if (Record == nullptr)
    {
        SetLastError(EBADF);
        return FALSE;
    }
    const bool Closed = Record->Kind != HandleKind::File || close(Record->Descriptor) == 0;
    const int Error = errno;
    delete Record;
    if (!Closed)
        SetLastError(DWORD(Error));
    return Closed ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR FileName)
{
    struct stat Status;
    if (FileName == nullptr || lstat(FileName, &Status) != 0)
    {
        SetLastError(FileName == nullptr ? EINVAL : DWORD(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(Status.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (S_ISLNK(Status.st_mode))
        return FILE_ATTRIBUTE_REPARSE_POINT;
    return FILE_ATTRIBUTE_NORMAL;
}

BOOL DeleteFileA(LPCSTR FileName)
{
    if (FileName == nullptr || unlink(FileName) != 0)
    {
        SetLastError(FileName == nullptr ? EINVAL : DWORD(errno));
        return FALSE;
    }
    return TRUE;
}

void Sleep(DWORD Milliseconds)
{
    timespec Remaining{time_t(Milliseconds / 1000), long(Milliseconds % 1000) * 1000000L};
    while (nanosleep(&Remaining, &Remaining) != 0 && errno == EINTR)
    {
    }
}

int MessageBoxA(HWND, LPCSTR Text, LPCSTR Caption, UINT Type)
{
    // No window on POSIX: the message goes to standard error in one write. Nothing here
    // allocates, since the box for exhausted memory comes this way too.
    const char* IconWord = "";
    switch (Type & 0xF0)
    {
    case 0x10: IconWord = "error: "; break;
    case 0x20: IconWord = "question: "; break;
    case 0x30: IconWord = "warning: "; break;
    case 0x40: IconWord = "information: "; break;
    default: break;
    }
    const char* CaptionText = Caption != nullptr ? Caption : "Error";
    const char* BodyText = Text != nullptr ? Text : "";
    iovec Parts[] = {
        {const_cast<char*>(CaptionText), std::strlen(CaptionText)},
        {const_cast<char*>(": "), 2},
        {const_cast<char*>(IconWord), std::strlen(IconWord)},
        {const_cast<char*>(BodyText), std::strlen(BodyText)},
        {const_cast<char*>("\n"), 1},
    };
    (void)!writev(STDERR_FILENO, Parts, sizeof Parts / sizeof Parts[0]);
    return IDOK;
}

HMODULE LoadLibraryA(LPCSTR FileName)
{
    if (FileName == nullptr)
    {
        SetLastError(EINVAL);
        return nullptr;
    }
    void* Module = dlopen(FileName, RTLD_NOW | RTLD_LOCAL);
    if (Module == nullptr)
        SaveLoaderMessage(FileName);
    return Module;
}

FARPROC GetProcAddress(HMODULE Module, LPCSTR ProcName)
{
    dlerror();
    void* Address = dlsym(Module, ProcName);
    if (Address == nullptr)
    {
        SaveLoaderMessage(nullptr);
        return nullptr;
    }
    FARPROC Procedure;
    static_assert(sizeof Procedure == sizeof Address, "function and data addresses differ in size");
    std::memcpy(&Procedure, &Address, sizeof Procedure);
    return Procedure;
}

BOOL FreeLibrary(HMODULE Module)
{
    if (dlclose(Module) != 0)
    {
        SaveLoaderMessage(nullptr);
        return FALSE;
    }
    return TRUE;
}

LPSTR GetCommandLineA()
{
    // Formed once and kept for the life of the process, as Windows keeps its own.
    static std::string CommandLine = ReadCommandLine();
    return CommandLine.data();
}

DWORD GetModuleFileNameA(HMODULE Module, LPSTR FileName, DWORD Size)
{
    if (Module != nullptr || FileName == nullptr || Size == 0)
    {
        SetLastError(EINVAL);
        return 0;
    }
    char Path[4096];
    const ssize_t Length = readlink("/proc/self/exe", Path, sizeof Path);
    if (Length < 0 || size_t(Length) >= sizeof Path)
    {
        SetLastError(Length < 0 ? DWORD(errno) : ENAMETOOLONG);
        return 0;
    }
    // As on Windows: a name that does not fit is cut, and the answer is the whole room.
    if (DWORD(Length) >= Size)
    {
        std::memcpy(FileName, Path, Size - 1);
        FileName[Size - 1] = '\0';
        SetLastError(ENAMETOOLONG);
        return Size;
    }
    std::memcpy(FileName, Path, size_t(Length));
    FileName[Length] = '\0';
    return DWORD(Length);
}

BOOL CreateProcessA(LPCSTR ApplicationName, LPSTR CommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL InheritHandles, DWORD CreationFlags, LPVOID Environment, LPCSTR CurrentDirectory,
                    LPSTARTUPINFOA, LPPROCESS_INFORMATION ProcessInformation)
{
    // Only the form the launcher uses: the program is the first item of the command line, the
    // environment and the current directory are inherited, no handle is.
    if (ApplicationName != nullptr || CommandLine == nullptr || InheritHandles || CreationFlags != 0 ||
        Environment != nullptr || CurrentDirectory != nullptr || ProcessInformation == nullptr)
    {
        SetLastError(EINVAL);
        return FALSE;
    }
    std::vector<std::string> Arguments = SplitCommandLine(CommandLine);
    if (Arguments.empty())
    {
        SetLastError(ENOENT);
        return FALSE;
    }
    std::vector<char*> ArgumentList;
    for (std::string& Argument : Arguments)
        ArgumentList.push_back(Argument.data());
    ArgumentList.push_back(nullptr);

    // Nothing but standard input, output and error reaches the child.
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addclosefrom_np(&Actions, 3);
    pid_t ProcessId;
    const int Error = posix_spawn(&ProcessId, ArgumentList[0], &Actions, nullptr, ArgumentList.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Error != 0)
    {
        SetLastError(DWORD(Error));
        return FALSE;
    }
    ProcessInformation->hProcess = new PosixHandle{HandleKind::Process, -1, ProcessId, false};
    ProcessInformation->hThread = new PosixHandle{HandleKind::Thread, -1, ProcessId, false};
    ProcessInformation->dwProcessId = DWORD(ProcessId);
    ProcessInformation->dwThreadId = DWORD(ProcessId);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE Handle, DWORD Milliseconds)
{
    PosixHandle* Record = HandleRecord(Handle);
    if (Record == nullptr || Record->Kind != HandleKind::Process || Milliseconds != INFINITE)
    {
        SetLastError(EINVAL);
        return WAIT_FAILED;
    }
    while (!Record->Ended)
    {
        int Status;
        if (waitpid(Record->ProcessId, &Status, 0) == Record->ProcessId)
            Record->Ended = true;
        else if (errno != EINTR)
        {
            SetLastError(DWORD(errno));
            return WAIT_FAILED;
        }
    }
    return WAIT_OBJECT_0;
}

void ExitProcess(UINT ExitCode)
{
    _exit(int(ExitCode));
}
