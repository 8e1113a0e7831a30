// Makes the damaged and oversized packets that the launcher process tests carry:
//   MakeTestPacket MODE IN_PACKET IN_SIZES OUT_PACKET OUT_SIZES
// MODE adler      the last byte of the stream (its Adler-32) changed
//      signature  the expansion signature's fourth byte changed, the stream made anew
//      split      the setup program said to be one byte longer than the whole output
//      huge       a fresh packet that expands to 1 GiB from a few bytes (IN_* unused)
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

static Bytes ReadBytes(const char* Path)
{
    std::ifstream File(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

static uint32_t Load32(const unsigned char* Data)
{
    return uint32_t(Data[0]) | uint32_t(Data[1]) << 8 | uint32_t(Data[2]) << 16 | uint32_t(Data[3]) << 24;
}

static void Put32(Bytes& Out, uint32_t Value)
{
    for (int Shift = 0; Shift < 32; Shift += 8)
        Out.push_back(static_cast<unsigned char>(Value >> Shift));
}

static void PutVarInt(Bytes& Out, uint64_t Value)
{
    do
    {
        const auto Low = static_cast<unsigned char>(Value & 0x7F);
        Value >>= 7;
        Out.push_back(Value != 0 ? static_cast<unsigned char>(Low | 0x80) : Low);
    } while (Value != 0);
}

static Bytes Inflate(const Bytes& Packet)
{
    uLongf Size = Load32(Packet.data());
    Bytes Inflated(Size);
    if (uncompress(Inflated.data(), &Size, Packet.data() + 4, uLong(Packet.size() - 4)) != Z_OK)
        std::exit(3);
    return Inflated;
}

static Bytes Deflate(const Bytes& Inflated)
{
    uLongf Size = compressBound(uLong(Inflated.size()));
    Bytes Packet;
    Put32(Packet, uint32_t(Inflated.size()));
    Packet.resize(4 + Size);
    if (compress2(Packet.data() + 4, &Size, Inflated.data(), uLong(Inflated.size()), 9) != Z_OK)
        std::exit(3);
    Packet.resize(4 + Size);
    return Packet;
}

static long ReadSplit(const char* SizesPath)
{
    std::ifstream File(SizesPath);
    std::string Word;
    while (File >> Word)
        if (Word == "PACKED_SETUP_SPLIT_OFFSET" && File >> Word)
            return std::atol(Word.c_str());
    std::exit(3);
}

// A literal of 16 bytes at the end and references before it, each copying all that follows.
static Bytes HugeBlock(uint32_t OutputSize)
{
    Bytes Stream;
    int32_t References = 0;
    for (uint32_t Length = OutputSize / 2; Length >= 16; Length /= 2, ++References)
    {
        PutVarInt(Stream, uint64_t(Length) << 1 | 1);
        PutVarInt(Stream, Length);
    }
    PutVarInt(Stream, 16 << 1);
    Stream.insert(Stream.end(), 16, 'h');
    Bytes Block = {'u', 'c', 's', '1'};
    Put32(Block, OutputSize);
    Put32(Block, uint32_t(16 + Stream.size()));
    Put32(Block, uint32_t(References));
    Block.insert(Block.end(), Stream.begin(), Stream.end());
    return Block;
}

int main(int ArgumentTotal, char** Arguments)
{
    if (ArgumentTotal != 6)
    {
        std::fprintf(stderr, "usage: MakeTestPacket adler|signature|split|huge IN_PACKET IN_SIZES OUT_PACKET OUT_SIZES\n");
        return 2;
    }
    const std::string Mode = Arguments[1];
    Bytes Packet;
    long Split = 1000;
    if (Mode == "huge")
        Packet = Deflate(HugeBlock(1u << 30));
    else
    {
        Packet = ReadBytes(Arguments[2]);
        Split = ReadSplit(Arguments[3]);
        if (Mode == "adler")
            Packet.back() ^= 0x01;
        else if (Mode == "signature")
        {
            Bytes Inflated = Inflate(Packet);
            Inflated[3] = '2';
            Packet = Deflate(Inflated);
        }
        else if (Mode == "split")
            Split = long(Load32(Inflate(Packet).data() + 4)) + 1;
        else
            return 2;
    }
    std::ofstream(Arguments[4], std::ios::binary).write(reinterpret_cast<const char*>(Packet.data()), std::streamsize(Packet.size()));
    std::ofstream(Arguments[5]) << "#define PACKED_STORED_SIZE " << Packet.size() << "\n#define PACKED_SETUP_SPLIT_OFFSET "
                                << Split << "\n";
    return 0;
}
