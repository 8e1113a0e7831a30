// Writes the demo package file: MakeDemoPackage OUTPUT [SIZE]
#include <cstdio>
#include <cstdlib>

#include "DemoPackage.h"

int main(int ArgumentTotal, char** Arguments)
{
    if (ArgumentTotal < 2 || ArgumentTotal > 3)
    {
        std::fprintf(stderr, "usage: MakeDemoPackage OUTPUT [SIZE]\n");
        return 2;
    }
    const size_t Size = ArgumentTotal == 3 ? std::strtoul(Arguments[2], nullptr, 10) : 2 * 1024 * 1024;
    const std::vector<unsigned char> Package = MakeDemoPackage(Size < 4 ? 4 : Size);
    FILE* File = std::fopen(Arguments[1], "wb");
    if (File == nullptr || std::fwrite(Package.data(), 1, Package.size(), File) != Package.size() ||
        std::fclose(File) != 0)
    {
        std::perror(Arguments[1]);
        return 1;
    }
    return 0;
}
