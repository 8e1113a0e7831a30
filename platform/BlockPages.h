// Where the launcher's large blocks come from when the platform has a faster way than the
// general allocator. A fresh block of many megabytes costs a page fault for every 4 KiB page on
// first touch, which for the expanded output costs as much as inflating it; whole 2 MiB pages
// take that cost down to a few faults.
#pragma once
#include <cstddef>

// Blocks from this size on are worth whole pages.
constexpr size_t LargeBlockSize = size_t(2) << 20;

// A block of at least Size bytes, or null when the platform has no such pages to give.
void* AllocatePages(size_t Size);

// Releases Block when it came from AllocatePages; false (and nothing done) otherwise.
bool ReleasePages(void* Block);

// Tells the platform that the read-only bytes from Start on, Size of them, will not be read
// again, so that the pages wholly inside them need not stay in memory. They read the same if
// they are read after all.
void DiscardReadOnlyPages(const void* Start, size_t Size);
