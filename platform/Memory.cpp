#include "Memory.h"

#include <cstdlib>
#include <new>

#include "BlockPages.h"
#include "Platform.h"

void* AllocateBlock(size_t Size)
{
    void* Block = Size >= LargeBlockSize ? AllocatePages(Size) : nullptr;
    // malloc(0) may answer null; a block of no bytes still has to be a block.
    if (Block == nullptr)
        Block = std::malloc(Size != 0 ? Size : 1);
    if (Block == nullptr)
        StopOnExhaustedMemory();
    return Block;
}

void ReleaseBlock(void* Block)
{
    if (!ReleasePages(Block))
        std::free(Block);
}

void StopOnExhaustedMemory()
{
    // No owner, no icon, OK only; nothing here may allocate.
    MessageBoxA(nullptr, "Setup cannot continue: the system is out of memory.", "Talvorin Setup", MB_OK);
    ExitProcess(ExhaustedMemoryExitCode);
}

static void OnOperatorNewFailure()
{
    StopOnExhaustedMemory();
}

void InstallMemoryHandler()
{
    std::set_new_handler(OnOperatorNewFailure);
}
