#include "UltraDecompress.h"

#include <cstring>

#include "Memory.h"

const char* const InvalidSignatureText = "Compressed data has an invalid signature";
static const char* const InvalidHeaderText = "Compressed data has an invalid header";
static const char* const CorruptStreamText = "Compressed data is corrupt";

bool ReadVarInt(const unsigned char*& Read, const unsigned char* End, uint32_t& Value)
{
    uint32_t Result = 0;
    for (int Shift = 0; Shift <= 28; Shift += 7)
    {
        if (Read == End)
            return false;
        const unsigned Byte = *Read++;
        // The fifth byte carries bits 28 to 31 only and cannot continue.
        if (Shift == 28 && Byte > 0x0F)
            return false;
        Result |= uint32_t(Byte & 0x7F) << Shift;
        if ((Byte & 0x80) == 0)
        {
            Value = Result;
            return true;
        }
    }
    return false;
}

// The most output StreamBytes of tokens with ReferenceCount references can stand for. A
// reference's source lies wholly after its target and inside the output, so each reference
// at most doubles what follows it; everything else comes from literal bytes, which the stream
// carries one for one.
static int64_t MostDescribableOutput(int64_t StreamBytes, int32_t ReferenceCount)
{
    if (ReferenceCount >= 31)
        return INT32_MAX;
    const int64_t Most = StreamBytes << ReferenceCount;
    return Most < INT32_MAX ? Most : INT32_MAX;
}

bool ReadPacketHeader(const unsigned char* InflatedData, int32_t InflatedSize, PacketHeader& Header)
{
    if (InflatedSize < PacketHeaderSize)
        return false;
    Header.Signature = LoadLittleEndian32(InflatedData);
    Header.OutputSize = int32_t(LoadLittleEndian32(InflatedData + 4));
    Header.InputSize = int32_t(LoadLittleEndian32(InflatedData + 8));
    Header.ReferenceCount = int32_t(LoadLittleEndian32(InflatedData + 12));
    if (Header.InputSize < PacketHeaderSize || Header.InputSize > InflatedSize)
        return false;
    if (Header.OutputSize < 0 || Header.ReferenceCount < 0)
        return false;
    // Every reference token takes at least two bytes; refuse what the stream cannot hold
    // before anything is allocated for it.
    const int64_t StreamBytes = Header.InputSize - PacketHeaderSize;
    if (Header.ReferenceCount > StreamBytes / 2)
        return false;
    return Header.OutputSize <= MostDescribableOutput(StreamBytes, Header.ReferenceCount);
}

// One pass over the tokens: literal bytes go to their place at once, references into the
// table. Every length is checked against what is left before it is used.
static bool RunStreamPass(const unsigned char* Read, const unsigned char* End, unsigned char* Output,
                          uint32_t OutputSize, ReferenceRecord* Table, uint32_t ReferenceCount)
{
    uint32_t Position = 0;
    uint32_t Records = 0;
    while (Read < End)
    {
        uint32_t Token;
        if (!ReadVarInt(Read, End, Token))
            return false;
        const uint32_t Length = Token >> 1;
        if (Length > OutputSize - Position)
            return false;
        if ((Token & 1) == 0)
        {
            if (Length > size_t(End - Read))
                return false;
            std::memcpy(Output + Position, Read, Length);
            Read += Length;
        }
        else
        {
            uint32_t Distance;
            if (!ReadVarInt(Read, End, Distance) || Records == ReferenceCount)
                return false;
            // The source must lie wholly after the target and inside the output.
            if (Length != 0 && (Distance < Length || Distance > OutputSize - Position - Length))
                return false;
            Table[Records++] = ReferenceRecord{Length, Position + Distance, Position};
        }
        Position += Length;
    }
    return Position == OutputSize && Records == ReferenceCount;
}

// Last record first: an earlier reference may read bytes that a later one supplies. The
// stream pass has made sure that no source overlaps its own target.
static void ApplyReferences(unsigned char* Output, const ReferenceRecord* Table, uint32_t ReferenceCount)
{
    for (uint32_t Index = ReferenceCount; Index-- > 0;)
    {
        const ReferenceRecord& Record = Table[Index];
        if (Record.Length != 0)
            std::memcpy(Output + Record.TargetOffset, Output + Record.SourceOffset, Record.Length);
    }
}

bool ExpandPacket(const unsigned char* InflatedData, int32_t InflatedSize, unsigned char*& ExpandedOutput,
                  int32_t& ExpandedSize, std::string& ErrorText)
{
    ErrorText.clear();
    if (InflatedSize < 4 || LoadLittleEndian32(InflatedData) != ExpandSignature)
    {
        ErrorText = InvalidSignatureText;
        return false;
    }
    PacketHeader Header;
    if (!ReadPacketHeader(InflatedData, InflatedSize, Header))
    {
        ErrorText = InvalidHeaderText;
        return false;
    }
    ExpandedSize = Header.OutputSize;

    const uint32_t ReferenceCount = uint32_t(Header.ReferenceCount);
    auto* Table = static_cast<ReferenceRecord*>(AllocateBlock(size_t(ReferenceCount) * sizeof(ReferenceRecord)));
    auto* Output = static_cast<unsigned char*>(AllocateBlock(size_t(Header.OutputSize)));
    ExpandedOutput = Output;

    // Nothing in the passes can throw; a malformed stream is the only way out of them.
    if (!ExpandInto(InflatedData, Header, Output, Table))
    {
        ReleaseBlock(Output);
        ExpandedOutput = nullptr;
        ReleaseBlock(Table);
        ErrorText = CorruptStreamText;
        return false;
    }
    ReleaseBlock(Table);
    return true;
}

bool ExpandInto(const unsigned char* InflatedData, const PacketHeader& Header, unsigned char* Output,
                ReferenceRecord* Table)
{
    const auto ReferenceCount = uint32_t(Header.ReferenceCount);
    if (!RunStreamPass(InflatedData + PacketHeaderSize, InflatedData + Header.InputSize, Output,
                       uint32_t(Header.OutputSize), Table, ReferenceCount))
        return false;
    ApplyReferences(Output, Table, ReferenceCount);
    return true;
}
