// The three temporary files: where they go, writing one block to a file, and removing a file
// that may still be held open by somebody else.
#pragma once
#include <cstdint>
#include <string>

// Formed once by PrepareTempPaths and kept unchanged until the launcher ends.
extern std::string TempDir;
extern std::string ZLibPath;
extern std::string SetupExePath;
extern std::string SetupPakPath;

// Finds the temporary directory and forms the three paths. False when the system gives no
// temporary directory, or one that does not fit the room the launcher gives it.
bool PrepareTempPaths();

// Writes Size bytes from Buffer to FileName, replacing what stood there, in one write. On false
// ErrorText holds the whole message, path and system text included; on true it is untouched.
bool WriteBufferToFile(const void* Buffer, int32_t Size, const std::string& FileName, std::string& ErrorText);

// Removes FileName with up to 100 attempts 100 milliseconds apart; reports nothing.
void DeleteFileWithRetry(const std::string& FileName);

constexpr int DeleteAttempts = 100;
constexpr unsigned DeleteRetryPause = 100;  // milliseconds
