// The inflate stage through the real zlib library, written out and loaded the launcher's way.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "Memory.h"
#include "PacketInflate.h"
#include "TempFiles.h"
#include "TestFolder.h"
#include "ZLibBinding.h"

namespace
{
using Bytes = std::vector<unsigned char>;

// Binds the carried library once for the whole program, as the launcher does.
class BoundLibrary : public testing::Environment
{
public:
    TestFolder Folder;
    void SetUp() override
    {
        const std::string Image = ReadFileText(TALVORIN_ZLIB_IMAGE_FILE);
        std::string Text;
        ASSERT_TRUE(WriteBufferToFile(Image.data(), int32_t(Image.size()), Folder / "zlib.dll", Text)) << Text;
        ZLibHandle = LoadLibraryA((Folder / "zlib.dll").c_str());
        ASSERT_NE(ZLibHandle, nullptr);
        ASSERT_TRUE(ResolveZLibEntryPoints(ZLibHandle));
    }
    void TearDown() override { FreeLibrary(ZLibHandle); }
};
testing::Environment* const Library = testing::AddGlobalTestEnvironment(new BoundLibrary);

Bytes InflatedBlock()
{
    Bytes Block = {'u', 'c', 's', '1'};
    for (int Index = 0; Index < 20000; ++Index)
        Block.push_back(static_cast<unsigned char>(Index * 7 + Index / 300));
    return Block;
}

void PutSize(Bytes& Packet, int32_t Size)
{
    for (int Shift = 0; Shift < 32; Shift += 8)
        Packet[size_t(Shift / 8)] = static_cast<unsigned char>(uint32_t(Size) >> Shift);
}

Bytes MakePacket(const Bytes& Inflated, const Bytes& Dictionary = {})
{
    z_stream Stream{};
    EXPECT_EQ(deflateInit(&Stream, 9), Z_OK);
    if (!Dictionary.empty())
        deflateSetDictionary(&Stream, Dictionary.data(), uInt(Dictionary.size()));
    Bytes Packet(4 + deflateBound(&Stream, uLong(Inflated.size())));
    PutSize(Packet, int32_t(Inflated.size()));
    Stream.next_in = const_cast<unsigned char*>(Inflated.data());
    Stream.avail_in = uInt(Inflated.size());
    Stream.next_out = Packet.data() + 4;
    Stream.avail_out = uInt(Packet.size() - 4);
    EXPECT_EQ(deflate(&Stream, Z_FINISH), Z_STREAM_END);
    Packet.resize(4 + Stream.total_out);
    deflateEnd(&Stream);
    return Packet;
}

struct Outcome
{
    bool Block;
    int32_t PacketSize;
    std::string ErrorText;
    Bytes Content;
};

Outcome Decompress(const Bytes& Packet)
{
    Outcome Result{false, int32_t(Packet.size()), "before", {}};
    unsigned char* Block = DecompressPacket(Packet.data(), Result.PacketSize, Result.ErrorText);
    Result.Block = Block != nullptr;
    if (Block != nullptr)
    {
        Result.Content.assign(Block, Block + Result.PacketSize);
        ReleaseBlock(Block);
    }
    return Result;
}

TEST(DecompressPacket, InflatesARealPacketInOneBlock)
{
    const Bytes Inflated = InflatedBlock();
    const Bytes Packet = MakePacket(Inflated);
    ASSERT_EQ(Packet[4], 0x78);
    const Outcome Result = Decompress(Packet);
    ASSERT_TRUE(Result.Block) << Result.ErrorText;
    EXPECT_EQ(Result.PacketSize, int32_t(Inflated.size()));
    EXPECT_EQ(Result.Content, Inflated);
    EXPECT_EQ(std::memcmp(Result.Content.data(), "ucs1", 4), 0);
    EXPECT_EQ(Result.ErrorText, "before");
}

TEST(DecompressPacket, DamagedPackets)
{
    const Bytes Inflated = InflatedBlock();
    const Bytes Good = MakePacket(Inflated);
    const int32_t Size = int32_t(Inflated.size());
    struct Case
    {
        const char* Name;
        Bytes Packet;
        bool Succeeds;
        const char* ErrorText;
        int32_t PacketSizeAfter;  // -1: unchanged
    };
    Bytes Adler = Good;
    Adler.back() ^= 0x01;
    Bytes Method = Good;
    Method[4] = 0;
    Bytes OneShort = Good;
    PutSize(OneShort, Size - 1);
    Bytes Larger = Good;
    PutSize(Larger, Size + 10);
    Bytes Negative = Good;
    PutSize(Negative, -5);
    const Bytes NeedsDictionary = MakePacket(Inflated, Bytes(100, 'd'));
    Bytes Truncated = Good;
    Truncated.resize(Good.size() / 2);
    const Case Cases[] = {
        {"AdlerChanged", Adler, false, "Compression data error", Size},
        {"MethodByteZero", Method, false, "Compression data error", Size},
        {"InflatedSizeOneShort", OneShort, false, "Compression buffer error", Size - 1},
        {"InflatedSizeLarger", Larger, true, "before", Size + 10},
        {"NegativeInflatedSize", Negative, false, "Compression data error", -1},
        {"NeedsPresetDictionary", NeedsDictionary, false, "Compression data error", Size},
        {"StreamCutShort", Truncated, false, "Compression buffer error", Size},
        {"NoRoomForTheLength", Bytes{1, 2, 3}, false, "Compression data error", -1},
    };
    for (const Case& C : Cases)
    {
        const Outcome Result = Decompress(C.Packet);
        EXPECT_EQ(Result.Block, C.Succeeds) << C.Name;
        EXPECT_EQ(Result.ErrorText, C.ErrorText) << C.Name;
        EXPECT_EQ(Result.PacketSize, C.PacketSizeAfter >= 0 ? C.PacketSizeAfter : int32_t(C.Packet.size())) << C.Name;
        if (C.Succeeds)
        {
            EXPECT_TRUE(std::equal(Inflated.begin(), Inflated.end(), Result.Content.begin())) << C.Name;
        }
    }
}

TEST(ZLibErrorText, CoversEveryResult)
{
    const char* const Texts[] = {"Compression library unknown error", "Compression library version error",
                                 "Compression buffer error",          "Compression memory error",
                                 "Compression data error",            "Compression stream error",
                                 "General compression library failure", "Compression library unknown error",
                                 "Compression library unknown error"};
    for (int32_t Result = -7; Result <= 1; ++Result)
    {
        std::string Text = "old";
        ZLibErrorText(Result, Text);
        EXPECT_EQ(Text, Texts[Result + 7]) << Result;
    }
}
}  // namespace
