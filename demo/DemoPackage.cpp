#include "DemoPackage.h"

#include <cstdio>
#include <string>

static uint32_t HashBytes(const unsigned char* Data, size_t Size)
{
    uint32_t Hash = 2166136261u;
    for (size_t Index = 0; Index < Size; ++Index)
        Hash = (Hash ^ Data[Index]) * 16777619u;
    return Hash;
}

static uint32_t NextRandom(uint32_t& State)
{
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State;
}

std::vector<unsigned char> MakeDemoPackage(size_t Size)
{
    std::vector<unsigned char> Package;
    Package.reserve(Size);
    uint32_t State = 0x7A1B0C1Du;
    // A block of noise that comes back, unchanged, far apart: what only long-range references
    // can take out.
    std::vector<unsigned char> Noise(48 * 1024);
    for (unsigned char& Byte : Noise)
        Byte = static_cast<unsigned char>(NextRandom(State));
    static const char* const Words[] = {"setup", "package", "file", "component", "install", "folder",
                                        "registry", "shortcut", "version", "licence", "language", "update"};
    int Section = 0;
    while (Package.size() + 4 < Size)
    {
        switch (Section++ % 4)
        {
        case 0:
            for (int Line = 0; Line < 400; ++Line)
            {
                std::string Text = "[" + std::to_string(Line) + "] ";
                for (int Word = 0; Word < 8; ++Word)
                    Text += std::string(Words[NextRandom(State) % 12]) + ' ';
                Text += '\n';
                Package.insert(Package.end(), Text.begin(), Text.end());
            }
            break;
        case 1:
            for (uint32_t Row = 0; Row < 4096; ++Row)
            {
                const uint32_t Value = Row * 2654435761u;
                for (int Shift = 0; Shift < 32; Shift += 8)
                    Package.push_back(static_cast<unsigned char>(Value >> Shift));
            }
            break;
        case 2:
            for (int Byte = 0; Byte < 16 * 1024; ++Byte)
                Package.push_back(static_cast<unsigned char>(NextRandom(State)));
            break;
        default:
            Package.insert(Package.end(), Noise.begin(), Noise.end());
            break;
        }
    }
    Package.resize(Size - 4);
    const uint32_t Hash = HashBytes(Package.data(), Package.size());
    for (int Shift = 0; Shift < 32; Shift += 8)
        Package.push_back(static_cast<unsigned char>(Hash >> Shift));
    return Package;
}

bool CheckDemoPackage(const unsigned char* Data, size_t Size)
{
    if (Size < 4)
        return false;
    const uint32_t Hash = HashBytes(Data, Size - 4);
    const unsigned char* Stored = Data + Size - 4;
    return Hash == (uint32_t(Stored[0]) | uint32_t(Stored[1]) << 8 | uint32_t(Stored[2]) << 16 |
                    uint32_t(Stored[3]) << 24);
}
