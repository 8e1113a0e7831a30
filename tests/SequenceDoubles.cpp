#include "SequenceDoubles.h"

#include <map>
#include <stdexcept>

#include "BlockPages.h"
#include "ErrorReport.h"
#include "Install.h"
#include "InstallConsts.h"
#include "Memory.h"
#include "PacketInflate.h"
#include "SetupData.h"
#include "SetupProcess.h"
#include "TempFiles.h"
#include "UltraDecompress.h"
#include "ZLibBinding.h"
#include "ZLibData.h"

SequenceScript Script;
std::vector<std::string> Events;

static std::map<void*, std::string> Blocks;
static DWORD ThreadLastError = 0;
static int LibraryToken;

static unsigned char* NewBlock(const char* Name, size_t Size)
{
    auto* Block = new unsigned char[Size]();
    Blocks[Block] = Name;
    return Block;
}

void ResetSequenceState()
{
    ZLibHandle = nullptr;
    InflatedData = nullptr;
    ExpandedOutput = nullptr;
    ErrorText.clear();
}

int LiveBlocks()
{
    return int(Blocks.size());
}

// The stored items and their sizes.
static const unsigned char Image[5] = {};
static const unsigned char Packet[40] = {};
const unsigned char* const ZLibImageAddress = Image;
const unsigned char* const StoredPacketAddress = Packet;
extern "C" const int32_t ZLibImageSize = 5;
extern "C" const int32_t PacketStoredSize = 40;
extern "C" const int32_t SetupSplitOffset = 3;

// Temporary files.
std::string TempDir, ZLibPath, SetupExePath, SetupPakPath;

bool PrepareTempPaths()
{
    if (!Script.TempPaths)
        return false;
    TempDir = "/tmp/seq/";
    ZLibPath = TempDir + "zlib.dll";
    SetupExePath = TempDir + "Talvorin_Setup.exe";
    SetupPakPath = TempDir + "Talvorin_Setup.pak";
    return true;
}

bool WriteBufferToFile(const void*, int32_t Size, const std::string& FileName, std::string& Text)
{
    Events.push_back("Write " + FileName + " " + std::to_string(Size));
    if (!Script.FailWriteOf.empty() && FileName == TempDir + Script.FailWriteOf)
    {
        Text = "write failed: " + Script.FailWriteOf;
        return false;
    }
    return true;
}

void DeleteFileWithRetry(const std::string& FileName)
{
    Events.push_back("Delete " + FileName);
}

// Messages.
const char* const LineBreak = "\r\n";

void ShowError(const std::string& Text)
{
    Events.push_back("Show " + Text);
}

std::string SystemErrorText(DWORD ErrorCode)
{
    return "system text " + std::to_string(ErrorCode);
}

// Memory.
void ReleaseBlock(void* Block)
{
    Events.push_back("Release " + Blocks.at(Block));
    Blocks.erase(Block);
    delete[] static_cast<unsigned char*>(Block);
}

void InstallMemoryHandler()
{
}

void DiscardReadOnlyPages(const void*, size_t)
{
}

// The library.
HMODULE ZLibHandle = nullptr;
const char* const MissingFunctionsText = "One or more functions are missing from the compression library.";

HMODULE LoadLibraryA(LPCSTR FileName)
{
    Events.push_back(std::string("LoadLibrary ") + FileName);
    if (Script.LoadFails)
    {
        ThreadLastError = 126;
        return nullptr;
    }
    return &LibraryToken;
}

BOOL FreeLibrary(HMODULE Module)
{
    Events.push_back(Module == &LibraryToken ? "FreeLibrary" : "FreeLibrary of something else");
    return TRUE;
}

DWORD GetLastError()
{
    return ThreadLastError;
}

bool ResolveZLibEntryPoints(HMODULE)
{
    Events.push_back("Resolve");
    return !Script.ResolveFails;
}

// The stages.
unsigned char* DecompressPacket(const unsigned char*, int32_t& Size, std::string& Text)
{
    Events.push_back("Decompress " + std::to_string(Size));
    if (Script.DecompressFails)
    {
        Text = "Compression data error";
        return nullptr;
    }
    Size = 8;
    return NewBlock("inflated", 8);
}

bool ExpandPacket(const unsigned char*, int32_t InflatedSize, unsigned char*& Output, int32_t& OutputSize,
                  std::string& Text)
{
    Events.push_back("Expand " + std::to_string(InflatedSize));
    Text.clear();
    if (Script.ExpandFails)
    {
        Text = "Compressed data has an invalid signature";
        return false;
    }
    OutputSize = Script.ExpandedSize;
    Output = NewBlock("expanded", size_t(OutputSize));
    if (Script.ExpandThrows)
    {
        ReleaseBlock(Output);
        Output = nullptr;
        throw std::runtime_error("raised inside the expansion");
    }
    return true;
}

bool RunSetupProgram()
{
    Events.push_back("RunSetupProgram");
    if (Script.RunThrows)
        throw std::runtime_error("raised while the setup program runs");
    if (Script.RunFails)
    {
        ShowError("start failed");
        return false;
    }
    return true;
}
