#include "PacketFile.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "Memory.h"
#include "UltraDecompress.h"

namespace
{

constexpr size_t SizeFieldBytes = 4;
constexpr uint64_t MostDeflateExpansion = 1032;

void AddToken(TokenFigures& Figures, uint32_t Length)
{
    if (Figures.Count == 0 || Length < Figures.ShortestLength)
        Figures.ShortestLength = Length;
    Figures.LongestLength = std::max(Figures.LongestLength, Length);
    ++Figures.Count;
    Figures.Bytes += Length;
}

double SecondsSince(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

struct CompressorDeleter
{
    void operator()(libdeflate_compressor* Compressor) const { libdeflate_free_compressor(Compressor); }
};

} // namespace

bool PackExpandedOutput(const std::vector<unsigned char>& Expanded, std::vector<unsigned char>& Stored,
                        PackFigures& Figures, std::string& ErrorText, const EncodeProgress& Progress,
                        const Ucs1EncoderTuning& Tuning)
{
    Stored.clear();
    Figures = PackFigures{};
    Figures.ExpandedSize = Expanded.size();
    auto Start = std::chrono::steady_clock::now();
    std::vector<unsigned char> Block;
    try
    {
        Block = EncodeUcs1(Expanded.data(), Expanded.size(), Tuning, Progress);
    }
    catch (const std::length_error& Error)
    {
        ErrorText = Error.what();
        return false;
    }
    Figures.InflatedSize = Block.size();
    Figures.EncodeSeconds = SecondsSince(Start);

    Start = std::chrono::steady_clock::now();
    if (!DeflateBlock(Block, Stored, ErrorText))
        return false;
    Figures.StoredSize = Stored.size();
    Figures.DeflateSeconds = SecondsSince(Start);
    Block = std::vector<unsigned char>();

    // The packet is only as good as the launcher's reading of it, so it is read back the same
    // way before anyone gets to use it.
    Start = std::chrono::steady_clock::now();
    std::vector<unsigned char> Inflated;
    std::string Why;
    unsigned char* Output = nullptr;
    int32_t OutputSize = 0;
    if (!InflateStoredPacket(Stored.data(), Stored.size(), Inflated, Why) ||
        !ExpandPacket(Inflated.data(), int32_t(Inflated.size()), Output, OutputSize, Why))
    {
        ErrorText = "the packet failed its check (" + Why + ")";
        Stored.clear();
        return false;
    }
    const bool Same = size_t(OutputSize) == Expanded.size() &&
                      (OutputSize == 0 || std::memcmp(Output, Expanded.data(), Expanded.size()) == 0);
    ReleaseBlock(Output);
    if (!Same)
    {
        ErrorText = "the packet failed its check (it expands to other bytes than the input)";
        Stored.clear();
        return false;
    }
    Figures.VerifySeconds = SecondsSince(Start);
    return true;
}

bool DeflateBlock(const std::vector<unsigned char>& Block, std::vector<unsigned char>& Stored, std::string& ErrorText)
{
    Stored.clear();
    if (Block.size() > INT32_MAX)
    {
        ErrorText = "the block is too large for the packet's size field";
        return false;
    }
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> Compressor(libdeflate_alloc_compressor(StrongestDeflateLevel));
    if (!Compressor)
    {
        ErrorText = "cannot set up the deflate compressor";
        return false;
    }
    const size_t Bound = libdeflate_zlib_compress_bound(Compressor.get(), Block.size());
    Stored.assign(SizeFieldBytes + Bound, 0);
    const size_t Written = libdeflate_zlib_compress(Compressor.get(), Block.data(), Block.size(),
                                                    Stored.data() + SizeFieldBytes, Bound);
    // Packets carry the zlib header of a 32 KiB window, no dictionary and the strongest level.
    if (Written < 2 || Stored[SizeFieldBytes] != 0x78 || Stored[SizeFieldBytes + 1] != 0xDA)
    {
        ErrorText = "deflate produced no usable zlib stream";
        Stored.clear();
        return false;
    }
    Stored.resize(SizeFieldBytes + Written);
    for (size_t Index = 0; Index < SizeFieldBytes; ++Index)
        Stored[Index] = static_cast<unsigned char>(Block.size() >> (8 * Index));
    return true;
}

bool InflateStoredPacket(const unsigned char* Stored, size_t StoredSize, std::vector<unsigned char>& Block,
                         std::string& ErrorText)
{
    if (StoredSize < SizeFieldBytes + 2)
    {
        ErrorText = "the packet is too short to hold a size and a zlib stream";
        return false;
    }
    if (StoredSize - SizeFieldBytes > UINT_MAX)
    {
        ErrorText = "the packet is too large";
        return false;
    }
    const uint32_t InflatedSize = LoadLittleEndian32(Stored);
    if (InflatedSize > INT32_MAX)
    {
        ErrorText = "the packet's inflated size is negative";
        return false;
    }
    // Deflate cannot expand more than 1032 to 1 (a 258-byte match in two bits at best); a size
    // beyond that is refused before a byte of it is allocated.
    if (uint64_t(InflatedSize) > uint64_t(StoredSize - SizeFieldBytes) * MostDeflateExpansion)
    {
        ErrorText = "the packet's inflated size " + std::to_string(InflatedSize) + " is more than its " +
                    std::to_string(StoredSize - SizeFieldBytes) + "-byte zlib stream can hold";
        return false;
    }
    Block.assign(InflatedSize, 0);

    z_stream Stream{};
    if (inflateInit(&Stream) != Z_OK)
    {
        ErrorText = "cannot set up zlib's inflate";
        return false;
    }
    Stream.next_in = const_cast<Bytef*>(Stored + SizeFieldBytes);
    Stream.avail_in = uInt(StoredSize - SizeFieldBytes);
    // One byte more room than promised, so that a stream that runs past its size is told apart
    // from one that ends exactly there.
    unsigned char Spare = 0;
    Stream.next_out = InflatedSize != 0 ? Block.data() : &Spare;
    Stream.avail_out = InflatedSize != 0 ? InflatedSize : 1;
    int Status = inflate(&Stream, Z_FINISH);
    if (Status == Z_BUF_ERROR && Stream.avail_out == 0 && InflatedSize != 0)
    {
        Stream.next_out = &Spare;
        Stream.avail_out = 1;
        Status = inflate(&Stream, Z_FINISH);
    }
    const uLong Produced = Stream.total_out;
    const uInt LeftOver = Stream.avail_in;
    const char* const ZlibMessage = Stream.msg;
    const std::string ZlibText = ZlibMessage != nullptr ? ZlibMessage : "";
    inflateEnd(&Stream);

    if (Status == Z_NEED_DICT)
        ErrorText = "the packet's zlib stream asks for a preset dictionary";
    else if (Status == Z_DATA_ERROR)
        ErrorText = "the packet's zlib stream is corrupt (" + ZlibText + ")";
    else if (Produced > InflatedSize)
        ErrorText = "the packet inflates to more than its recorded " + std::to_string(InflatedSize) + " bytes";
    else if (Status != Z_STREAM_END)
        ErrorText = "the packet's zlib stream is cut short";
    else if (Produced != InflatedSize)
        ErrorText = "the packet inflates to " + std::to_string(Produced) + " bytes, not its recorded " +
                    std::to_string(InflatedSize);
    else if (LeftOver != 0)
        ErrorText = "the packet has " + std::to_string(LeftOver) + " bytes after its zlib stream";
    else
        return true;
    Block.clear();
    return false;
}

bool ExpandBlock(const std::vector<unsigned char>& Block, std::vector<unsigned char>& Output, std::string& ErrorText)
{
    if (Block.size() > INT32_MAX)
    {
        ErrorText = "the block is larger than 2 GiB";
        return false;
    }
    unsigned char* Expanded = nullptr;
    int32_t ExpandedSize = 0;
    if (!ExpandPacket(Block.data(), int32_t(Block.size()), Expanded, ExpandedSize, ErrorText))
        return false;
    Output.assign(Expanded, Expanded + ExpandedSize);
    ReleaseBlock(Expanded);
    return true;
}

bool SummariseBlock(const std::vector<unsigned char>& Block, BlockSummary& Summary, std::string& ErrorText)
{
    Summary = BlockSummary{};
    if (Block.size() < size_t(PacketHeaderSize) || LoadLittleEndian32(Block.data()) != ExpandSignature)
    {
        ErrorText = "the block does not start with the ucs1 signature";
        return false;
    }
    Summary.OutputSize = int32_t(LoadLittleEndian32(Block.data() + 4));
    Summary.InputSize = int32_t(LoadLittleEndian32(Block.data() + 8));
    Summary.ReferenceCount = int32_t(LoadLittleEndian32(Block.data() + 12));
    if (Summary.OutputSize < 0 || Summary.ReferenceCount < 0 || Summary.InputSize < PacketHeaderSize ||
        size_t(Summary.InputSize) != Block.size())
    {
        ErrorText = "the block's header does not fit the block (InputSize " + std::to_string(Summary.InputSize) +
                    ", block " + std::to_string(Block.size()) + " bytes)";
        return false;
    }

    const unsigned char* Read = Block.data() + PacketHeaderSize;
    const unsigned char* const End = Block.data() + Block.size();
    const uint32_t OutputSize = uint32_t(Summary.OutputSize);
    uint32_t Position = 0;
    while (Read < End)
    {
        const size_t TokenOffset = size_t(Read - Block.data());
        const auto Fail = [&](const char* Text) {
            ErrorText = std::string(Text) + " (token at block offset " + std::to_string(TokenOffset) + ")";
            return false;
        };
        uint32_t Token;
        if (!ReadVarInt(Read, End, Token))
            return Fail("a token's integer is cut short or too long");
        const uint32_t Length = Token >> 1;
        if (Length > OutputSize - Position)
            return Fail("a token runs past OutputSize");
        if ((Token & 1) == 0)
        {
            if (Length > size_t(End - Read))
                return Fail("a literal runs past the end of the block");
            Read += Length;
            AddToken(Summary.Literals, Length);
        }
        else
        {
            uint32_t Distance;
            if (!ReadVarInt(Read, End, Distance))
                return Fail("a reference's distance is cut short or too long");
            if (Length != 0 && (Distance < Length || Distance > OutputSize - Position - Length))
                return Fail("a reference's source overlaps it or lies outside the output");
            TokenFigures& Figures = Summary.References;
            if (Figures.Count == 0 || Distance < Figures.NearestDistance)
                Figures.NearestDistance = Distance;
            Figures.FurthestDistance = std::max(Figures.FurthestDistance, Distance);
            AddToken(Figures, Length);
        }
        Position += Length;
    }
    if (Position != OutputSize)
    {
        ErrorText = "the tokens make " + std::to_string(Position) + " bytes, not OutputSize " +
                    std::to_string(OutputSize);
        return false;
    }
    if (Summary.References.Count != uint64_t(Summary.ReferenceCount))
    {
        ErrorText = "the block holds " + std::to_string(Summary.References.Count) + " references, not " +
                    std::to_string(Summary.ReferenceCount);
        return false;
    }
    return true;
}

std::string SizesHeaderText(uint64_t StoredSize, uint64_t SetupSplitOffset)
{
    return "/* Written by PackSetup for the packet beside it. */\n"
           "#define PACKED_STORED_SIZE " +
           std::to_string(StoredSize) +
           "\n"
           "#define PACKED_SETUP_SPLIT_OFFSET " +
           std::to_string(SetupSplitOffset) + "\n";
}
