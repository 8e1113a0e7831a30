// The launcher's general allocator for its large blocks (the inflated packet, the expanded
// output and the reference table). Running out of memory is not a failure the launcher
// reports: it stops the process at once with exit status 203, without any cleanup.
#pragma once
#include <cstddef>

// Never returns null: when the block cannot be had the process stops.
void* AllocateBlock(size_t Size);

// Releases a block from AllocateBlock; null is allowed and does nothing.
void ReleaseBlock(void* Block);

// The fatal stop for exhausted memory: a plain box, then exit status 203.
[[noreturn]] void StopOnExhaustedMemory();

// Routes failed operator new (texts growing, records) to StopOnExhaustedMemory.
void InstallMemoryHandler();

constexpr unsigned ExhaustedMemoryExitCode = 203;
