// The Windows launcher keeps the general allocator for every block.
#include "BlockPages.h"

void* AllocatePages(size_t)
{
    return nullptr;
}

bool ReleasePages(void*)
{
    return false;
}

void DiscardReadOnlyPages(const void*, size_t)
{
}
