// The launcher's own expansion format, "ucs1": a 16-byte header, then literal tokens that carry
// output bytes and reference tokens that repeat a stretch found further on in the output.
// References point forward, so they are collected in one pass and applied last to first.
#pragma once
#include <cstdint>
#include <string>

constexpr uint32_t ExpandSignature = 0x31736375;  // "ucs1", little-endian
constexpr int32_t PacketHeaderSize = 16;

struct PacketHeader
{
    uint32_t Signature;
    int32_t OutputSize;
    int32_t InputSize;
    int32_t ReferenceCount;
};

struct ReferenceRecord
{
    uint32_t Length;
    uint32_t SourceOffset;
    uint32_t TargetOffset;
};

// Every multi-byte field of the stored data is little-endian.
inline uint32_t LoadLittleEndian32(const unsigned char* Bytes)
{
    return uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 | uint32_t(Bytes[3]) << 24;
}

// Reads one variable-length integer (seven bits a byte, least significant group first, at most
// five bytes, 32 bits) at Read and advances Read past it. False when the integer runs past End
// or is longer than 32 bits; Read is then somewhere before End and must not be used further.
bool ReadVarInt(const unsigned char*& Read, const unsigned char* End, uint32_t& Value);

// Expands InflatedData (InflatedSize readable bytes) into a new block. The block is stored in
// ExpandedOutput the moment it exists and belongs to the caller on success; on any failure no
// block is left with the caller and ErrorText says why. Only InflatedSize bytes are ever read,
// and nothing is written outside the output block and the reference table, whatever the block
// holds.
bool ExpandPacket(const unsigned char* InflatedData, int32_t InflatedSize, unsigned char*& ExpandedOutput,
                  int32_t& ExpandedSize, std::string& ErrorText);

// The header of a block of InflatedSize bytes; false when it does not fit the block or asks for
// more than the stream could describe. The signature is read, not tested.
bool ReadPacketHeader(const unsigned char* InflatedData, int32_t InflatedSize, PacketHeader& Header);

// The two passes of the expansion into blocks the caller provides: Output of Header.OutputSize
// bytes and Table of Header.ReferenceCount records, for a header that ReadPacketHeader accepted.
// False when the stream is malformed; Output then holds whatever the stream pass wrote.
bool ExpandInto(const unsigned char* InflatedData, const PacketHeader& Header, unsigned char* Output,
                ReferenceRecord* Table);

extern const char* const InvalidSignatureText;
