// The demo payload's setup program: shows what a setup program receives from the launcher (its
// arguments and the /install= path) and checks the package file that stands beside it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DemoPackage.h"

static std::string FolderOf(const std::string& Path)
{
    const size_t Slash = Path.find_last_of("/\\");
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

static bool ReadWholeFile(const std::string& Path, std::vector<unsigned char>& Content)
{
    FILE* File = std::fopen(Path.c_str(), "rb");
    if (File == nullptr)
        return false;
    unsigned char Chunk[65536];
    size_t Count;
    while ((Count = std::fread(Chunk, 1, sizeof Chunk, File)) > 0)
        Content.insert(Content.end(), Chunk, Chunk + Count);
    const bool Read = std::ferror(File) == 0;
    std::fclose(File);
    return Read;
}

int main(int ArgumentTotal, char** Arguments)
{
    std::printf("Talvorin demo setup program\n");
    std::printf("  program:   %s\n", Arguments[0]);
    std::string InstallPath;
    for (int Index = 1; Index < ArgumentTotal; ++Index)
    {
        std::printf("  argument %d: [%s]\n", Index, Arguments[Index]);
        if (std::strncmp(Arguments[Index], "/install=", 9) == 0)
            InstallPath = Arguments[Index] + 9;
    }
    std::printf("  installer: %s\n", InstallPath.empty() ? "(no /install= switch)" : InstallPath.c_str());

    const std::string PackagePath = FolderOf(Arguments[0]) + "Talvorin_Setup.pak";
    std::vector<unsigned char> Package;
    if (!ReadWholeFile(PackagePath, Package))
    {
        std::printf("  package:   %s cannot be read\n", PackagePath.c_str());
        return 2;
    }
    const bool Intact = CheckDemoPackage(Package.data(), Package.size());
    std::printf("  package:   %s, %zu bytes, %s\n", PackagePath.c_str(), Package.size(),
                Intact ? "intact" : "DAMAGED");
    return Intact ? 0 : 3;
}
