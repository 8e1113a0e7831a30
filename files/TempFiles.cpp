#include "TempFiles.h"

#include "ErrorReport.h"
#include "Platform.h"

std::string TempDir;
std::string ZLibPath;
std::string SetupExePath;
std::string SetupPakPath;

bool PrepareTempPaths()
{
    // The system is told of 260 characters; the last one stays zero whatever it writes.
    char Buffer[MAX_PATH + 1] = {};
    const DWORD Result = GetTempPathA(MAX_PATH, Buffer);
    // A larger answer is the room the path would need: the buffer then holds no path, and a
    // cut one would put the files somewhere nobody asked for.
    if (Result == 0 || Result >= MAX_PATH || Buffer[0] == '\0')
        return false;
    TempDir = Buffer;
    if (TempDir.back() != PathSeparator)
        TempDir += PathSeparator;
    ZLibPath = TempDir + "zlib.dll";
    SetupExePath = TempDir + "Talvorin_Setup.exe";
    SetupPakPath = TempDir + "Talvorin_Setup.pak";
    return true;
}

bool WriteBufferToFile(const void* Buffer, int32_t Size, const std::string& FileName, std::string& ErrorText)
{
    const HANDLE File = CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (File == INVALID_HANDLE_VALUE)
    {
        const DWORD ErrorCode = GetLastError();
        ErrorText = "Failed to create file: " + FileName + LineBreak + SystemErrorText(ErrorCode);
        return false;
    }
    DWORD Written = 0;
    const BOOL Wrote = WriteFile(File, Buffer, DWORD(Size), &Written, nullptr);
    // A short write leaves the last error as it stands; nothing sets it for that case.
    if (!Wrote || int32_t(Written) < Size)
    {
        const DWORD ErrorCode = GetLastError();
        ErrorText = "Failed to write to file: " + FileName + LineBreak + SystemErrorText(ErrorCode);
        CloseHandle(File);
        return false;
    }
    CloseHandle(File);
    return true;
}

void DeleteFileWithRetry(const std::string& FileName)
{
    for (int Attempt = 0; Attempt < DeleteAttempts; ++Attempt)
    {
        // Whatever makes the query fail, there is nothing left to remove.
        if (GetFileAttributesA(FileName.c_str()) == INVALID_FILE_ATTRIBUTES)
            return;
        if (DeleteFileA(FileName.c_str()))
            return;
        Sleep(DeleteRetryPause);
    }
}
