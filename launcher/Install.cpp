#include "Install.h"

#include "BlockPages.h"
#include "ErrorReport.h"
#include "InstallConsts.h"
#include "Memory.h"
#include "PacketInflate.h"
#include "Platform.h"
#include "SetupData.h"
#include "SetupProcess.h"
#include "TempFiles.h"
#include "UltraDecompress.h"
#include "ZLibBinding.h"
#include "ZLibData.h"

std::string ErrorText;
int32_t PacketSize = 0;
unsigned char* InflatedData = nullptr;
unsigned char* ExpandedOutput = nullptr;
int32_t ExpandedSize = 0;

// Each Run… procedure below is one cleanup block: it runs the steps that its cleanup covers,
// and the cleanup runs after them on every way out, an exception included, innermost first.

static void ReleaseBuffers()
{
    if (ExpandedOutput != nullptr)
        ReleaseBlock(ExpandedOutput);
    if (InflatedData != nullptr)
        ReleaseBlock(InflatedData);
}

static void RemoveTempFiles()
{
    DeleteFileWithRetry(ZLibPath);
    DeleteFileWithRetry(SetupPakPath);
    DeleteFileWithRetry(SetupExePath);
}

static void RunWithBuffers()
{
    PacketSize = PacketStoredSize;
    InflatedData = DecompressPacket(StoredPacketAddress, PacketSize, ErrorText);
    if (InflatedData == nullptr)
    {
        ShowError("Failed to decompress packet: " + ErrorText);
        return;
    }
    // Nothing reads the stored packet again: its pages in the image need not stay in memory
    // while the larger blocks are filled.
    DiscardReadOnlyPages(StoredPacketAddress, size_t(PacketStoredSize));
    if (!ExpandPacket(InflatedData, PacketSize, ExpandedOutput, ExpandedSize, ErrorText))
    {
        ShowError("Failed to expand packet: " + ErrorText);
        return;
    }
    // An output that cannot hold the whole setup program would start a cut program; it is
    // refused like any other packet that does not expand to what the launcher was built for.
    if (ExpandedSize < SetupSplitOffset)
    {
        ShowError("Failed to expand packet: Expanded data is shorter than the setup program");
        return;
    }
    if (!WriteBufferToFile(ExpandedOutput, SetupSplitOffset, SetupExePath, ErrorText) ||
        !WriteBufferToFile(ExpandedOutput + SetupSplitOffset, ExpandedSize - SetupSplitOffset, SetupPakPath,
                           ErrorText))
    {
        ShowError(ErrorText);
        return;
    }
    RunSetupProgram();
}

static void RunWithLibrary()
{
    if (!ResolveZLibEntryPoints(ZLibHandle))
    {
        ShowError(MissingFunctionsText);
        return;
    }
    InflatedData = nullptr;
    ExpandedOutput = nullptr;
    try
    {
        RunWithBuffers();
    }
    catch (...)
    {
        ReleaseBuffers();
        throw;
    }
    ReleaseBuffers();
}

static void RunWithTempFiles()
{
    if (!WriteBufferToFile(ZLibImageAddress, ZLibImageSize, ZLibPath, ErrorText))
    {
        ShowError(ErrorText);
        return;
    }
    ZLibHandle = LoadLibraryA(ZLibPath.c_str());
    if (ZLibHandle == nullptr)
    {
        const DWORD ErrorCode = GetLastError();
        ShowError("Failed to load library: " + ZLibPath + LineBreak + SystemErrorText(ErrorCode));
        return;
    }
    try
    {
        RunWithLibrary();
    }
    catch (...)
    {
        FreeLibrary(ZLibHandle);
        throw;
    }
    FreeLibrary(ZLibHandle);
}

static void RunSequence()
{
    if (!PrepareTempPaths())
    {
        ShowError("Failed to determine location of temporary directory.");
        return;
    }
    try
    {
        RunWithTempFiles();
    }
    catch (...)
    {
        RemoveTempFiles();
        throw;
    }
    RemoveTempFiles();
}

int RunInstall()
{
    InstallMemoryHandler();
    try
    {
        RunSequence();
    }
    catch (...)
    {
        ShowError("Failed to initialize Setup program. An unknown error has occurred.");
    }
    return 0;
}
