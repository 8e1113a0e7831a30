// Transparent huge pages for the large blocks: an anonymous mapping aligned to 2 MiB and marked
// for huge pages, so that first touch faults once per 2 MiB instead of once per 4 KiB.
#include <sys/mman.h>

#include <unistd.h>

#include <cstdint>

#include "BlockPages.h"

namespace
{
constexpr size_t HugePage = size_t(2) << 20;

struct Mapping
{
    void* Start;
    size_t Length;
};

// The launcher holds at most three large blocks at a time; the few more slots cover the tests.
// One thread only, as the launcher is.
Mapping Mappings[16];
}  // namespace

void* AllocatePages(size_t Size)
{
    Mapping* Free = nullptr;
    for (Mapping& Slot : Mappings)
        if (Slot.Start == nullptr)
        {
            Free = &Slot;
            break;
        }
    if (Free == nullptr || Size > SIZE_MAX - 2 * HugePage)
        return nullptr;
    const size_t Length = (Size + HugePage - 1) & ~(HugePage - 1);
    auto* Raw = static_cast<char*>(mmap(nullptr, Length + HugePage, PROT_READ | PROT_WRITE,
                                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (Raw == MAP_FAILED)
        return nullptr;
    // Keep only the aligned part, so that every 2 MiB of it can be one page.
    char* Start = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(Raw) + HugePage - 1) & ~(HugePage - 1));
    if (Start != Raw)
        munmap(Raw, size_t(Start - Raw));
    if (Raw + HugePage != Start)
        munmap(Start + Length, size_t(Raw + HugePage - Start));
    // Only the whole 2 MiB pages of the block: a huge page over its last part would be resident
    // in full for the few bytes used of it.
    madvise(Start, Size & ~(HugePage - 1), MADV_HUGEPAGE);
    *Free = Mapping{Start, Length};
    return Start;
}

bool ReleasePages(void* Block)
{
    if (Block == nullptr)
        return false;
    for (Mapping& Slot : Mappings)
        if (Slot.Start == Block)
        {
            munmap(Slot.Start, Slot.Length);
            Slot = Mapping{nullptr, 0};
            return true;
        }
    return false;
}

void DiscardReadOnlyPages(const void* Start, size_t Size)
{
    // Only pages wholly inside the range: a page shared with data that was written to (a
    // relocated pointer beside an embedded item, say) would lose what was written.
    const auto PageSize = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t First = (reinterpret_cast<uintptr_t>(Start) + PageSize - 1) & ~(PageSize - 1);
    const uintptr_t End = (reinterpret_cast<uintptr_t>(Start) + Size) & ~(PageSize - 1);
    if (End > First)
        madvise(reinterpret_cast<void*>(First), End - First, MADV_DONTNEED);
}
