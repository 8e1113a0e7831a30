// Encoder for the launcher's "ucs1" block (payload/UltraDecompress.h expands it). The block is
// deflated afterwards, so the encoder only takes the repeats that deflate cannot take as well:
// repeats whose earlier copy lies beyond deflate's 32 KiB window in the block, and repeats long
// enough that deflate would spend a match on every 258 bytes of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Told the input bytes parsed so far and the input size, about every mebibyte.
using EncodeProgress = std::function<void(size_t Done, size_t Total)>;

// The knobs of the parse and its cost model. The defaults are what measured best on the packer
// corpus (tools/ENCODER.md); the rest exist so that the benchmark can show what each one gains.
// Costs are in bits of deflate output.
struct Ucs1EncoderTuning
{
    // No reference shorter than this, whatever the cost model says (16 at least). Shorter far
    // repeats measured as a loss: their tokens cost about what deflate spends on the bytes, and
    // each one breaks the matches deflate had across it.
    uint32_t MinLength = 40;
    // Every this many positions one goes on the hash chains. Repeats are still looked for at
    // every position, and one of HashedBytes (16) + AnchorSpacing - 1 bytes always holds an
    // anchor; the chains get that much shorter and the search that much faster.
    uint32_t AnchorSpacing = 8;
    // Hash-chain candidates looked at per position.
    uint32_t MaxChainSteps = 24;
    // A match this long ends the candidate search at once.
    uint32_t GoodEnoughLength = 4096;
    // A repeat whose earlier copy lies further back than this in the block (in block bytes) is
    // taken to be out of deflate's sight.
    uint32_t DeflateWindow = 32768;
    // What deflate spends on an input byte it cannot match over a long distance: roughly its
    // ratio on such data, short local matches included.
    double UnmatchedByteBits = 4.0;
    // What deflate spends on one match of up to 258 bytes, besides the distance's extra bits.
    double MatchBits = 9.0;
    // What deflate spends on each byte of a reference token: they look random to it.
    double TokenByteBits = 7.5;
    // Least gain, in bits, for which a reference is taken.
    double MinGainBits = 0.0;
    // Also look for the copy that starts where a run of one byte value starts (the chain alone
    // sees only the nearest few run positions, which cannot double the reference each time).
    bool FollowRuns = true;
    // Grow a found reference over the literal bytes just before it when they repeat too (with
    // anchors, a repeat is usually found a few bytes after it starts).
    bool ExtendBackwards = true;
    // Leave a position to the literals when the next one gives a clearly better reference.
    bool LazyMatching = true;
    // False: every repeat of MinLength bytes or more becomes a reference, as if deflate saw
    // nothing (the measuring baseline).
    bool ModelDeflate = true;
};

// Encodes Size bytes at Data (Size at most INT32_MAX) into a well-formed ucs1 block. Throws
// std::length_error when the input or the block would not fit the block's 32-bit fields.
std::vector<unsigned char> EncodeUcs1(const unsigned char* Data, size_t Size,
                                      const EncodeProgress& Progress = nullptr);
std::vector<unsigned char> EncodeUcs1(const unsigned char* Data, size_t Size, const Ucs1EncoderTuning& Tuning,
                                      const EncodeProgress& Progress = nullptr);

// Appends Value as a ucs1 integer (seven bits a byte, least significant group first).
void AppendVarInt(std::vector<unsigned char>& Block, uint32_t Value);

// Bytes that AppendVarInt takes for Value: 1 to 5.
uint32_t VarIntSize(uint32_t Value);
