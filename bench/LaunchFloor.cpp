// The floor a launcher cannot go below: inflate the same zlib stream with zlib, copy the
// expanded size once, write the two files, start the same no-op program and wait for it.
//   LaunchFloor PACKET NO_OP_PROGRAM TEMP_FOLDER
// The packet's expansion must start with the no-op program, as the launcher's does.
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

static bool WriteWhole(const std::string& Path, const unsigned char* Data, size_t Size)
{
    const int File = open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
    if (File < 0)
        return false;
    const bool Written = write(File, Data, Size) == ssize_t(Size);
    return close(File) == 0 && Written;
}

int main(int ArgumentTotal, char** Arguments)
{
    if (ArgumentTotal != 4)
        return 2;
    const int PacketFile = open(Arguments[1], O_RDONLY);
    struct stat Status;
    if (PacketFile < 0 || fstat(PacketFile, &Status) != 0)
        return 1;
    const auto* Packet = static_cast<const unsigned char*>(
        mmap(nullptr, size_t(Status.st_size), PROT_READ, MAP_PRIVATE, PacketFile, 0));
    uLongf InflatedSize = uLongf(Packet[0]) | uLongf(Packet[1]) << 8 | uLongf(Packet[2]) << 16 | uLongf(Packet[3]) << 24;
    auto* Inflated = static_cast<unsigned char*>(std::malloc(InflatedSize));
    if (uncompress(Inflated, &InflatedSize, Packet + 4, uLong(Status.st_size - 4)) != Z_OK)
        return 1;
    size_t OutputSize = 0;
    std::memcpy(&OutputSize, Inflated + 4, 4);
    // The launcher's output is its own; here the inflated bytes stand in, copied once.
    auto* Output = static_cast<unsigned char*>(std::malloc(OutputSize));
    for (size_t Done = 0; Done < OutputSize;)
    {
        const size_t Piece = std::min<size_t>(OutputSize - Done, InflatedSize);
        std::memcpy(Output + Done, Inflated, Piece);
        Done += Piece;
    }
    // The real program in front, as the launcher's output has it; it is small.
    FILE* Source = std::fopen(Arguments[2], "rb");
    if (Source == nullptr)
        return 1;
    const size_t ProgramSize = std::fread(Output, 1, OutputSize, Source);
    std::fclose(Source);
    const std::string Folder = Arguments[3];
    const std::string Program = Folder + "/Talvorin_Setup.exe", Package = Folder + "/Talvorin_Setup.pak";
    if (!WriteWhole(Program, Output, ProgramSize) || !WriteWhole(Package, Output + ProgramSize, OutputSize - ProgramSize))
        return 1;
    char* const Argv[] = {const_cast<char*>(Program.c_str()), nullptr};
    pid_t Child;
    if (posix_spawn(&Child, Program.c_str(), nullptr, nullptr, Argv, environ) != 0)
        return 1;
    int ChildStatus;
    waitpid(Child, &ChildStatus, 0);
    std::free(Output);
    std::free(Inflated);
    unlink(Package.c_str());
    unlink(Program.c_str());
    return 0;
}
