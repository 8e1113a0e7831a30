// A setup program for the tests: records what it was given and what it found, then ends with the
// status it is told to. TALVORIN_PROBE_RECORD names the record file (one "key=value" a line);
// TALVORIN_PROBE_EXIT the exit status (default 0); TALVORIN_PROBE_MAPS, where the platform has
// one, the launcher's table of mapped files, to tell whether it holds the library loaded. Where
// the platform lists a process's open descriptors, they are recorded too.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

static std::string FolderOf(const std::string& Path)
{
    const size_t Slash = Path.find_last_of("/\\");
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

static long FileSizeOrMinusOne(const std::string& Path)
{
    std::error_code Error;
    const auto Size = std::filesystem::file_size(Path, Error);
    return Error ? -1L : long(Size);
}

// The descriptors open when the program starts, before it opens any of its own.
static std::string InheritedDescriptors()
{
    std::string Descriptors;
    std::error_code Error;
    if (!std::filesystem::exists("/proc/self/fd", Error))
        return Descriptors;
    for (const auto& Entry : std::filesystem::directory_iterator("/proc/self/fd", Error))
    {
        // The listing's own descriptor is no inheritance.
        const std::string Target = std::filesystem::read_symlink(Entry.path(), Error).string();
        if (Target.rfind("/proc/", 0) == 0 && Target.find("/fd") != std::string::npos)
            continue;
        Descriptors += (Descriptors.empty() ? "" : ",") + Entry.path().filename().string();
    }
    return Descriptors;
}

int main(int ArgumentTotal, char** Arguments)
{
    const std::string Inherited = InheritedDescriptors();
    const char* RecordPath = std::getenv("TALVORIN_PROBE_RECORD");
    const char* ExitText = std::getenv("TALVORIN_PROBE_EXIT");
    if (RecordPath != nullptr)
    {
        FILE* Record = std::fopen(RecordPath, "wb");
        if (Record == nullptr)
            return 99;
        std::fprintf(Record, "argc=%d\n", ArgumentTotal);
        for (int Index = 0; Index < ArgumentTotal; ++Index)
            std::fprintf(Record, "arg%d=%s\n", Index, Arguments[Index]);
        std::error_code Error;
        std::fprintf(Record, "cwd=%s\n", std::filesystem::current_path(Error).string().c_str());
        const std::string Folder = FolderOf(Arguments[0]);
        for (const char* Name : {"zlib.dll", "Talvorin_Setup.exe", "Talvorin_Setup.pak"})
            std::fprintf(Record, "size %s=%ld\n", Name, FileSizeOrMinusOne(Folder + Name));
        if (!Inherited.empty())
            std::fprintf(Record, "descriptors=%s\n", Inherited.c_str());
        if (const char* MapsPath = std::getenv("TALVORIN_PROBE_MAPS"))
        {
            std::ifstream Maps(MapsPath);
            std::string Line;
            bool Loaded = false;
            while (std::getline(Maps, Line))
                Loaded = Loaded || Line.find(Folder + "zlib.dll") != std::string::npos;
            std::fprintf(Record, "library loaded=%d\n", Loaded ? 1 : 0);
        }
        std::fclose(Record);
    }
    return ExitText != nullptr ? std::atoi(ExitText) : 0;
}
