// ExpandPacket throughput against memcpy of the same output size, both with buffers already
// touched and with fresh ones. Prints "name value" lines for bench/Bench.py.
//   BenchExpand PACKET
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Memory.h"
#include "UltraDecompress.h"

namespace
{
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

template <typename Work>
double MedianSeconds(int Rounds, Work&& Run)
{
    std::vector<double> Seconds;
    for (int Round = 0; Round < Rounds; ++Round)
    {
        const auto Start = Clock::now();
        Run();
        Seconds.push_back(std::chrono::duration<double>(Clock::now() - Start).count());
    }
    return Median(Seconds);
}
}  // namespace

int main(int ArgumentTotal, char** Arguments)
{
    if (ArgumentTotal != 2)
    {
        std::fprintf(stderr, "usage: BenchExpand PACKET\n");
        return 2;
    }
    std::ifstream File(Arguments[1], std::ios::binary);
    const std::vector<unsigned char> Packet{std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
    if (Packet.size() < 4)
        return 1;
    uLongf InflatedSize = uLongf(Packet[0]) | uLongf(Packet[1]) << 8 | uLongf(Packet[2]) << 16 | uLongf(Packet[3]) << 24;
    // The inflated block is the launcher's own kind of block too.
    auto* Inflated = static_cast<unsigned char*>(AllocateBlock(InflatedSize));
    if (uncompress(Inflated, &InflatedSize, Packet.data() + 4, uLong(Packet.size() - 4)) != Z_OK)
        return 1;
    PacketHeader Header;
    if (!ReadPacketHeader(Inflated, int32_t(InflatedSize), Header))
        return 1;
    const size_t OutputSize = size_t(Header.OutputSize);
    const int Rounds = 15;

    // The launcher's own kind of blocks, already touched.
    auto* Output = static_cast<unsigned char*>(AllocateBlock(OutputSize));
    auto* Copy = static_cast<unsigned char*>(AllocateBlock(OutputSize));
    auto* Table = static_cast<ReferenceRecord*>(AllocateBlock(size_t(Header.ReferenceCount) * sizeof(ReferenceRecord)));
    std::memset(Output, 1, OutputSize);
    std::memset(Copy, 2, OutputSize);
    const double ExpandWarm = MedianSeconds(Rounds, [&] {
        if (!ExpandInto(Inflated, Header, Output, Table))
            std::exit(1);
    });
    const double CopyWarm = MedianSeconds(Rounds, [&] { std::memcpy(Copy, Output, OutputSize); });

    const double ExpandFresh = MedianSeconds(Rounds, [&] {
        unsigned char* Block = nullptr;
        int32_t Size;
        std::string Text;
        if (!ExpandPacket(Inflated, int32_t(InflatedSize), Block, Size, Text))
            std::exit(1);
        ReleaseBlock(Block);
    });
    // Fresh pages from the same allocator the expansion uses, so both pay the same first touch.
    const double CopyFresh = MedianSeconds(Rounds, [&] {
        auto* Block = static_cast<unsigned char*>(AllocateBlock(OutputSize));
        std::memcpy(Block, Output, OutputSize);
        // Keeps the copy from being optimised away with the block nobody reads.
        asm volatile("" : : "r"(Block) : "memory");
        ReleaseBlock(Block);
    });
    const double Megabytes = double(OutputSize) / 1e6;
    std::printf("output_bytes %zu\nreferences %d\n", OutputSize, Header.ReferenceCount);
    std::printf("expand_warm_MBps %.0f\nmemcpy_warm_MBps %.0f\n", Megabytes / ExpandWarm, Megabytes / CopyWarm);
    std::printf("expand_fresh_MBps %.0f\nmemcpy_fresh_MBps %.0f\n", Megabytes / ExpandFresh, Megabytes / CopyFresh);
    return 0;
}
