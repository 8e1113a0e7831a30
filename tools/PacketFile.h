// The stored packet as the launcher carries it: a 4-byte little-endian InflatedSize, then one
// zlib stream (no preset dictionary, 32 KiB window) of the ucs1 block, and nothing after it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "UcsEncoder.h"

constexpr int StrongestDeflateLevel = 12;

struct PackFigures
{
    size_t ExpandedSize = 0;
    size_t InflatedSize = 0;
    size_t StoredSize = 0;
    double EncodeSeconds = 0;
    double DeflateSeconds = 0;
    double VerifySeconds = 0;
};

// The whole of packing: encodes Expanded, deflates the block, then proves the stored packet by
// inflating it and expanding it again with the launcher's own code and comparing. False, with
// ErrorText, when any step fails; Stored is then empty.
bool PackExpandedOutput(const std::vector<unsigned char>& Expanded, std::vector<unsigned char>& Stored,
                        PackFigures& Figures, std::string& ErrorText, const EncodeProgress& Progress = nullptr,
                        const Ucs1EncoderTuning& Tuning = Ucs1EncoderTuning{});

// Deflates Block into a stored packet with libdeflate at its strongest level. False, with
// ErrorText, when the block is too large for the packet's size field or the compressor fails.
bool DeflateBlock(const std::vector<unsigned char>& Block, std::vector<unsigned char>& Stored, std::string& ErrorText);

// Inflates a stored packet back into its ucs1 block, checking that the stream is whole, fills
// exactly InflatedSize bytes and has nothing after it.
bool InflateStoredPacket(const unsigned char* Stored, size_t StoredSize, std::vector<unsigned char>& Block,
                         std::string& ErrorText);

// Expands a ucs1 block with the launcher's own ExpandPacket.
bool ExpandBlock(const std::vector<unsigned char>& Block, std::vector<unsigned char>& Output, std::string& ErrorText);

struct TokenFigures
{
    uint64_t Count = 0;
    uint64_t Bytes = 0;
    uint32_t ShortestLength = 0;
    uint32_t LongestLength = 0;
    uint32_t NearestDistance = 0;
    uint32_t FurthestDistance = 0;
};

struct BlockSummary
{
    int32_t OutputSize = 0;
    int32_t InputSize = 0;
    int32_t ReferenceCount = 0;
    TokenFigures Literals;
    TokenFigures References;
};

// Reads a ucs1 block's header and tokens, holding it to the same rules as the expander, so a
// block that passes here is one that ExpandPacket accepts.
bool SummariseBlock(const std::vector<unsigned char>& Block, BlockSummary& Summary, std::string& ErrorText);

// The sizes header that PackSetup writes beside a packet: #defines of plain decimal numbers, so
// that both the C++ compiler and the assembler can read it.
std::string SizesHeaderText(uint64_t StoredSize, uint64_t SetupSplitOffset);
