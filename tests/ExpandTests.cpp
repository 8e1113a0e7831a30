// The "ucs1" expansion: well-formed blocks expand exactly, malformed ones are refused without a
// read or write outside their blocks (the sanitizer build watches every case here).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Memory.h"
#include "UltraDecompress.h"

namespace
{
using Bytes = std::vector<unsigned char>;

void PutVarInt(Bytes& Out, uint64_t Value)
{
    do
    {
        unsigned char Byte = Value & 0x7F;
        Value >>= 7;
        Out.push_back(Value != 0 ? Byte | 0x80 : Byte);
    } while (Value != 0);
}

void Put32(Bytes& Out, uint32_t Value)
{
    for (int Shift = 0; Shift < 32; Shift += 8)
        Out.push_back(static_cast<unsigned char>(Value >> Shift));
}

// A block with the given header fields around Stream; InputSize -1 means "the true length".
Bytes MakeBlock(int32_t OutputSize, int32_t ReferenceCount, const Bytes& Stream, int32_t InputSize = -1)
{
    Bytes Block = {'u', 'c', 's', '1'};
    Put32(Block, uint32_t(OutputSize));
    Put32(Block, uint32_t(InputSize >= 0 ? InputSize : int32_t(16 + Stream.size())));
    Put32(Block, uint32_t(ReferenceCount));
    Block.insert(Block.end(), Stream.begin(), Stream.end());
    return Block;
}

struct Expansion
{
    bool Result;
    Bytes Output;
    int32_t OutputSize;
    std::string ErrorText;
    bool OutputHanded;
};

// Runs the expansion on an exactly sized copy, so that any read past InflatedSize is caught.
Expansion Expand(const Bytes& Block, int32_t InflatedSize = -1)
{
    const size_t Size = InflatedSize >= 0 ? size_t(InflatedSize) : Block.size();
    std::vector<unsigned char> Exact(Block.begin(), Block.begin() + std::min(Size, Block.size()));
    auto* Input = new unsigned char[Size ? Size : 1];
    std::memcpy(Input, Exact.data(), Exact.size());
    Expansion Result{false, {}, -7, "left over", false};
    unsigned char* Output = nullptr;
    Result.Result = ExpandPacket(Input, int32_t(Size), Output, Result.OutputSize, Result.ErrorText);
    Result.OutputHanded = Output != nullptr;
    if (Output != nullptr)
    {
        Result.Output.assign(Output, Output + Result.OutputSize);
        ReleaseBlock(Output);
    }
    delete[] Input;
    return Result;
}

const Bytes WorkedExample = {0x75, 0x63, 0x73, 0x31, 0x06, 0x00, 0x00, 0x00, 0x17, 0x00, 0x00, 0x00,
                             0x02, 0x00, 0x00, 0x00, 0x05, 0x02, 0x05, 0x02, 0x04, 0x41, 0x42};

TEST(ReadVarInt, ReadsEveryWellFormedLength)
{
    struct Case
    {
        Bytes Input;
        uint32_t Value;
        size_t Consumed;
    };
    const Case Cases[] = {
        {{0x05}, 5, 1},
        {{0x7F}, 127, 1},
        {{0x80, 0x01}, 128, 2},
        {{0x96, 0x01}, 150, 2},
        {{0x80, 0x00}, 0, 2},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, 4294967295u, 5},
        {{0x05, 0xFF}, 5, 1},
    };
    for (const Case& C : Cases)
    {
        const unsigned char* Read = C.Input.data();
        uint32_t Value = 0;
        ASSERT_TRUE(ReadVarInt(Read, C.Input.data() + C.Input.size(), Value));
        EXPECT_EQ(Value, C.Value);
        EXPECT_EQ(size_t(Read - C.Input.data()), C.Consumed);
    }
}

TEST(ReadVarInt, RefusesWhatRunsPastTheEndOrBeyond32Bits)
{
    const Bytes Cases[] = {{}, {0x80}, {0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0xFF, 0x10},
                           {0x80, 0x80, 0x80, 0x80, 0x80, 0x00}};
    for (const Bytes& Input : Cases)
    {
        const unsigned char* Read = Input.data();
        uint32_t Value;
        EXPECT_FALSE(ReadVarInt(Read, Input.data() + Input.size(), Value)) << Input.size();
    }
}

TEST(ExpandPacket, WorkedExampleAppliesReferencesLastToFirst)
{
    const Expansion Result = Expand(WorkedExample);
    ASSERT_TRUE(Result.Result) << Result.ErrorText;
    EXPECT_EQ(Result.Output, (Bytes{0x41, 0x42, 0x41, 0x42, 0x41, 0x42}));
    EXPECT_EQ(Result.OutputSize, 6);
    EXPECT_EQ(Result.ErrorText, "");
}

TEST(ExpandPacket, WellFormedEdgeCases)
{
    struct Case
    {
        const char* Name;
        Bytes Block;
        int32_t InflatedSize;
        Bytes Output;
    };
    Bytes Long5;  // a reference of Length 3 written with a redundant five-byte integer
    for (int Byte : {0x87, 0x80, 0x80, 0x80, 0x00})
        Long5.push_back(static_cast<unsigned char>(Byte));
    PutVarInt(Long5, 3);
    Long5.insert(Long5.end(), {0x06, 'x', 'y', 'z'});
    Bytes Padded = MakeBlock(6, 2, {0x05, 0x02, 0x05, 0x02, 0x04, 0x41, 0x42});
    Padded.insert(Padded.end(), {0xDE, 0xAD});
    const Case Cases[] = {
        {"EmptyOutput", MakeBlock(0, 0, {}), -1, {}},
        {"ZeroLengthLiteral", MakeBlock(2, 0, {0x00, 0x04, 'a', 'b', 0x00}), -1, {'a', 'b'}},
        {"ZeroLengthReference", MakeBlock(2, 1, {0x01, 0x7F, 0x04, 'a', 'b'}), -1, {'a', 'b'}},
        {"DistanceEqualsLength", MakeBlock(4, 1, {0x05, 0x02, 0x04, 'a', 'b'}), -1, {'a', 'b', 'a', 'b'}},
        {"RedundantZeroGroup", MakeBlock(1, 0, {0x82, 0x00, 'q'}), -1, {'q'}},
        {"FiveByteInteger", MakeBlock(6, 1, Long5), -1, {'x', 'y', 'z', 'x', 'y', 'z'}},
        {"InflatedSizeLargerThanInputSize", Padded, int32_t(Padded.size()), {0x41, 0x42, 0x41, 0x42, 0x41, 0x42}},
    };
    for (const Case& C : Cases)
    {
        const Expansion Result = Expand(C.Block, C.InflatedSize);
        EXPECT_TRUE(Result.Result) << C.Name << ": " << Result.ErrorText;
        EXPECT_EQ(Result.Output, C.Output) << C.Name;
        EXPECT_EQ(Result.ErrorText, "") << C.Name;
    }
}

TEST(ExpandPacket, SignatureMismatchAllocatesNothingAndLeavesTheOutputsAlone)
{
    for (size_t Index = 0; Index < 4; ++Index)
    {
        Bytes Block = WorkedExample;
        Block[Index] ^= 0x01;
        unsigned char Marker;
        unsigned char* Output = &Marker;
        int32_t OutputSize = -7;
        std::string Text = "left over";
        EXPECT_FALSE(ExpandPacket(Block.data(), int32_t(Block.size()), Output, OutputSize, Text));
        EXPECT_EQ(Text, "Compressed data has an invalid signature");
        EXPECT_EQ(Output, &Marker);
        EXPECT_EQ(OutputSize, -7);
    }
}

TEST(ExpandPacket, RefusesMalformedBlocks)
{
    struct Case
    {
        const char* Name;
        Bytes Block;
        int32_t InflatedSize;
    };
    Bytes Truncated = WorkedExample;
    Truncated.resize(10);
    const Case Cases[] = {
        {"ShorterThanSignature", {'u', 'c', 's'}, -1},
        {"TruncatedHeader", Truncated, -1},
        {"InputSizeBelowHeader", MakeBlock(0, 0, {}, 15), -1},
        {"InputSizePastBlock", MakeBlock(2, 0, {0x04, 'a', 'b'}, 40), -1},
        {"NegativeOutputSize", MakeBlock(-1, 0, {}), -1},
        {"NegativeReferenceCount", MakeBlock(0, -1, {}), -1},
        {"MoreReferencesThanTheStreamHolds", MakeBlock(4, 100, {0x05, 0x02, 0x04, 'a', 'b'}), -1},
        {"OutputTheStreamCannotDescribe", MakeBlock(1 << 20, 0, {0x04, 'a', 'b'}), -1},
        {"LiteralPastInputSize", MakeBlock(4, 0, {0x08, 'a', 'b'}), -1},
        {"LiteralPastOutputSize", MakeBlock(1, 0, {0x04, 'a', 'b'}), -1},
        {"IntegerPastInputSize", MakeBlock(2, 0, {0x04, 'a', 'b', 0x80}), -1},
        {"DistanceMissing", MakeBlock(4, 1, {0x04, 'a', 'b', 0x05}), -1},
        {"SixByteInteger", MakeBlock(1, 0, {0x82, 0x80, 0x80, 0x80, 0x80, 0x00, 'q'}), -1},
        {"IntegerBeyond32Bits", MakeBlock(1, 0, {0x82, 0x80, 0x80, 0x80, 0x10, 'q'}), -1},
        {"FewerReferencesThanCounted", MakeBlock(4, 2, {0x05, 0x02, 0x04, 'a', 'b'}), -1},
        {"MoreReferencesThanCounted", MakeBlock(6, 1, {0x05, 0x02, 0x05, 0x02, 0x04, 'a', 'b'}), -1},
        {"LengthsShortOfOutputSize", MakeBlock(5, 0, {0x04, 'a', 'b'}), -1},
        {"ReferenceSourceLeavesOutput", MakeBlock(4, 1, {0x05, 0x03, 0x04, 'a', 'b'}), -1},
        {"ReferenceOverlapsItsTarget", MakeBlock(4, 1, {0x05, 0x01, 0x04, 'a', 'b'}), -1},
        {"ReferenceLongerThanOutput", MakeBlock(4, 1, {0x0B, 0x05, 0x04, 'a', 'b'}), -1},
        {"HugeReferenceDistance", MakeBlock(4, 1, {0x05, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x04, 'a', 'b'}), -1},
        {"TokenRunsPastInputSizeIntoPadding", MakeBlock(2, 0, {0x04, 'a', 'b'}, 18), 19},
    };
    for (const Case& C : Cases)
    {
        const Expansion Result = Expand(C.Block, C.InflatedSize);
        EXPECT_FALSE(Result.Result) << C.Name;
        EXPECT_FALSE(Result.OutputHanded) << C.Name;
        EXPECT_NE(Result.ErrorText, "") << C.Name;
    }
}

TEST(ExpandPacket, LongChainsAndOverlappingSourcesExpandLikeTheNaiveRule)
{
    // Output of 4096 bytes: a 16-byte literal at the end and references before it that each
    // copy everything after themselves, so every reference reads the one after it.
    const int32_t Size = 4096;
    Bytes Stream;
    int32_t References = 0;
    for (int32_t Length = Size / 2; Length >= 16; Length /= 2)
    {
        PutVarInt(Stream, uint64_t(Length) << 1 | 1);
        PutVarInt(Stream, uint64_t(Length));
        ++References;
    }
    PutVarInt(Stream, 16 << 1);
    for (int Byte = 0; Byte < 16; ++Byte)
        Stream.push_back(static_cast<unsigned char>(int('A') + Byte));
    const Expansion Result = Expand(MakeBlock(Size, References, Stream));
    ASSERT_TRUE(Result.Result) << Result.ErrorText;
    for (int32_t Index = 0; Index < Size; ++Index)
        ASSERT_EQ(Result.Output[size_t(Index)], 'A' + Index % 16) << Index;
}
}  // namespace
