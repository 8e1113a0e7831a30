#include "FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace
{

std::string Quoted(const std::string& Path)
{
    return "'" + Path + "'";
}

std::string SystemText()
{
    return std::strerror(errno);
}

// The folder part of a path, kept as written ("." when there is none), so that the temporary
// lands on the same file system as the final file and the rename cannot cross devices.
std::string FolderOf(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    if (Slash == std::string::npos)
        return ".";
    if (Slash == 0)
        return "/";
    return Path.substr(0, Slash);
}

std::string BaseNameOf(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

// The temporaries that an interrupt has to remove. A signal handler may only read fixed storage
// and call unlink, so the paths are copied here rather than pointed to.
constexpr int MostTemporaries = 4;
constexpr size_t LongestTemporaryPath = 4096;
char Temporaries[MostTemporaries][LongestTemporaryPath];
volatile sig_atomic_t TemporaryInUse[MostTemporaries];

void RememberTemporary(const std::string& Path)
{
    if (Path.size() >= LongestTemporaryPath)
        return;
    for (int Slot = 0; Slot < MostTemporaries; ++Slot)
        if (!TemporaryInUse[Slot])
        {
            std::memcpy(Temporaries[Slot], Path.c_str(), Path.size() + 1);
            TemporaryInUse[Slot] = 1;
            return;
        }
}

void ForgetTemporary(const std::string& Path)
{
    for (int Slot = 0; Slot < MostTemporaries; ++Slot)
        if (TemporaryInUse[Slot] && Path == Temporaries[Slot])
            TemporaryInUse[Slot] = 0;
}

void RemoveTemporariesAndStop(int Signal)
{
    for (int Slot = 0; Slot < MostTemporaries; ++Slot)
        if (TemporaryInUse[Slot])
            unlink(Temporaries[Slot]);
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

} // namespace

void RemovePendingFilesOnInterrupt()
{
    for (const int Signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(Signal, RemoveTemporariesAndStop);
}

bool RegularFileSize(const std::string& Path, uint64_t& Size, std::string& ErrorText)
{
    struct stat Status;
    if (stat(Path.c_str(), &Status) != 0)
    {
        ErrorText = "cannot read " + Quoted(Path) + ": " + SystemText();
        return false;
    }
    if (!S_ISREG(Status.st_mode))
    {
        ErrorText = "cannot read " + Quoted(Path) + ": not a regular file";
        return false;
    }
    Size = uint64_t(Status.st_size);
    return true;
}

bool ReadWholeFile(const std::string& Path, std::vector<unsigned char>& Contents, std::string& ErrorText)
{
    Contents.clear();
    const int Descriptor = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Descriptor < 0)
    {
        ErrorText = "cannot read " + Quoted(Path) + ": " + SystemText();
        return false;
    }
    struct stat Status;
    if (fstat(Descriptor, &Status) != 0 || !S_ISREG(Status.st_mode))
    {
        ErrorText = "cannot read " + Quoted(Path) + ": not a regular file";
        close(Descriptor);
        return false;
    }
    // The size is a hint only: the loop reads until the end, whatever the file does meanwhile.
    // One byte of room beyond it lets the read that finds the end do so without growing (and
    // so copying) a buffer of the whole file.
    Contents.resize(size_t(Status.st_size) + 1);
    size_t Filled = 0;
    for (;;)
    {
        if (Filled == Contents.size())
            Contents.resize(Contents.size() + 65536);
        const ssize_t Got = read(Descriptor, Contents.data() + Filled, Contents.size() - Filled);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0)
        {
            ErrorText = "cannot read " + Quoted(Path) + ": " + SystemText();
            close(Descriptor);
            Contents.clear();
            return false;
        }
        if (Got == 0)
            break;
        Filled += size_t(Got);
    }
    close(Descriptor);
    Contents.resize(Filled);
    return true;
}

bool IsSameFile(const std::string& First, const std::string& Second)
{
    if (First == Second)
        return true;
    struct stat FirstStatus, SecondStatus;
    if (stat(First.c_str(), &FirstStatus) != 0 || stat(Second.c_str(), &SecondStatus) != 0)
        return false;
    return FirstStatus.st_dev == SecondStatus.st_dev && FirstStatus.st_ino == SecondStatus.st_ino;
}

PendingFile::~PendingFile()
{
    if (!Committed)
        DiscardPendingFile(*this);
}

bool OpenPendingFile(const std::string& FinalPath, PendingFile& File, std::string& ErrorText)
{
    DiscardPendingFile(File);
    File.FinalPath = FinalPath;
    File.Committed = false;
    struct stat Status;
    if (FinalPath.empty() || FinalPath.back() == '/' ||
        (stat(FinalPath.c_str(), &Status) == 0 && S_ISDIR(Status.st_mode)))
    {
        ErrorText = "cannot write " + Quoted(FinalPath) + ": it names a folder, not a file";
        return false;
    }
    std::string Template = FolderOf(FinalPath) + "/." + BaseNameOf(FinalPath) + ".XXXXXX";
    const int Descriptor = mkstemp(&Template[0]);
    if (Descriptor < 0)
    {
        ErrorText = "cannot write " + Quoted(FinalPath) + ": " + SystemText();
        return false;
    }
    // mkstemp makes the file private; the result should get the permissions any new file gets.
    const mode_t Mask = umask(0);
    umask(Mask);
    fchmod(Descriptor, 0666 & ~Mask);
    File.TemporaryPath = Template;
    File.Descriptor = Descriptor;
    RememberTemporary(File.TemporaryPath);
    return true;
}

bool WritePendingFile(PendingFile& File, const void* Data, size_t Size, std::string& ErrorText)
{
    const auto* Bytes = static_cast<const unsigned char*>(Data);
    size_t Done = 0;
    while (Done < Size)
    {
        const ssize_t Wrote = write(File.Descriptor, Bytes + Done, Size - Done);
        if (Wrote < 0 && errno == EINTR)
            continue;
        if (Wrote <= 0)
        {
            ErrorText = "cannot write " + Quoted(File.FinalPath) + ": " + SystemText();
            return false;
        }
        Done += size_t(Wrote);
    }
    return true;
}

bool CommitPendingFile(PendingFile& File, std::string& ErrorText)
{
    // A full disk may only show at fsync or close; both come before the rename.
    if (fsync(File.Descriptor) != 0 || close(File.Descriptor) != 0)
    {
        ErrorText = "cannot write " + Quoted(File.FinalPath) + ": " + SystemText();
        File.Descriptor = -1;
        DiscardPendingFile(File);
        return false;
    }
    File.Descriptor = -1;
    if (rename(File.TemporaryPath.c_str(), File.FinalPath.c_str()) != 0)
    {
        ErrorText = "cannot write " + Quoted(File.FinalPath) + ": " + SystemText();
        DiscardPendingFile(File);
        return false;
    }
    ForgetTemporary(File.TemporaryPath);
    File.TemporaryPath.clear();
    File.Committed = true;
    return true;
}

void DiscardPendingFile(PendingFile& File)
{
    if (File.Descriptor >= 0)
        close(File.Descriptor);
    File.Descriptor = -1;
    if (!File.TemporaryPath.empty())
    {
        ForgetTemporary(File.TemporaryPath);
        unlink(File.TemporaryPath.c_str());
    }
    File.TemporaryPath.clear();
}
