// Reading inputs and writing outputs for the packer so that a failure never leaves a partial
// file behind: an output is written under a temporary name in its own folder and renamed over
// the final name only once it is complete.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Size of a regular file; anything else (missing, a folder, a device) is an error.
bool RegularFileSize(const std::string& Path, uint64_t& Size, std::string& ErrorText);

bool ReadWholeFile(const std::string& Path, std::vector<unsigned char>& Contents, std::string& ErrorText);

// True when both paths name one existing file (the same path spelt twice, or two links).
bool IsSameFile(const std::string& First, const std::string& Second);

// An output file under construction. Discarded (its temporary removed) when it goes out of
// scope without CommitPendingFile.
struct PendingFile
{
    std::string FinalPath;
    std::string TemporaryPath;
    int Descriptor = -1;
    bool Committed = false;

    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();
};

// Creates the temporary beside FinalPath, so that an unwritable folder is found before any
// long work is done.
bool OpenPendingFile(const std::string& FinalPath, PendingFile& File, std::string& ErrorText);

bool WritePendingFile(PendingFile& File, const void* Data, size_t Size, std::string& ErrorText);

// Closes the temporary and renames it over the final path.
bool CommitPendingFile(PendingFile& File, std::string& ErrorText);

void DiscardPendingFile(PendingFile& File);

// Makes an interrupt (SIGINT, SIGTERM, SIGHUP) remove the temporaries of the pending files
// before the process ends as it would have.
void RemovePendingFilesOnInterrupt();
