// What every fuzz target shares: the libFuzzer entry point, which ReplayMain.cpp also calls
// when a target is built as a plain replay program, and the check that stops on a broken
// property the way a sanitizer stops on a bad access, so libFuzzer keeps the input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "UltraDecompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

inline void FuzzRequire(bool Holds, const char* Property)
{
    if (Holds)
        return;
    std::fprintf(stderr, "fuzz target: property broken: %s\n", Property);
    std::abort();
}

// A copy of Size bytes in a block of exactly that size, so that the sanitizer faults on the
// first byte read past it (libFuzzer's own buffer may sit inside a larger one).
inline std::unique_ptr<unsigned char[]> ExactCopy(const uint8_t* Data, size_t Size)
{
    std::unique_ptr<unsigned char[]> Copy(new unsigned char[Size]);
    if (Size != 0)
        std::memcpy(Copy.get(), Data, Size);
    return Copy;
}

// Reads every byte of a block, so that a block shorter than its claimed size faults here.
inline volatile unsigned TouchedSum;
inline void TouchWholeBlock(const unsigned char* Block, int32_t Size)
{
    unsigned Sum = 0;
    for (int32_t Index = 0; Index < Size; ++Index)
        Sum += Block[Index];
    TouchedSum = Sum;
}
