#include "UcsEncoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// A reference copies from later in the output, so on a reversed copy of the input it is an
// ordinary LZ77 match that copies from earlier, with the one rule that source and target may not
// overlap (distance >= length). The parse therefore runs front to back over the reversed copy
// with hash chains, and the tokens are written out last to first at the end. Parsing in that
// order has a second benefit: everything that lies between a candidate and its source is
// already decided, so the distance that deflate would see between the two copies in the
// finished block is known, not guessed.

namespace
{

constexpr uint32_t NoPosition = UINT32_MAX;
// The chains hash this many bytes from each anchor, so no shorter match is ever found through
// them; a repeat of HashedBytes + AnchorSpacing - 1 bytes always holds an anchor.
constexpr uint32_t HashedBytes = 16;
constexpr uint32_t LeastHashBits = 10;
constexpr uint32_t MostHashBits = 26;
constexpr uint32_t DeflateLongestMatch = 258;
constexpr uint32_t HeadPrefetchDistance = 8;
// The block position is kept for every this many input positions only: a few bytes of error do
// not matter against a 32 KiB window, and the record shrinks from four bytes a position to half
// a byte.
constexpr uint32_t StreamSampleSpacing = 8;
constexpr size_t ProgressStep = size_t(1) << 20;

struct ParsedToken
{
    uint32_t Length;
    uint32_t Distance;
    bool IsReference;
};

// A reference the search found (Start may lie before the searched position, over literals
// that repeat too) and what taking it would gain.
struct Choice
{
    uint32_t Start = 0;
    uint32_t Length = 0;
    uint32_t Distance = 0;
    double GainBits = 0;
};

uint64_t Load64(const unsigned char* Bytes)
{
    uint64_t Value;
    std::memcpy(&Value, Bytes, sizeof Value);
    return Value;
}

uint32_t MatchLength(const unsigned char* Source, const unsigned char* Target, uint32_t Limit)
{
    uint32_t Length = 0;
    while (Limit - Length >= 8)
    {
        const uint64_t Difference = Load64(Source + Length) ^ Load64(Target + Length);
        if (Difference != 0)
            return Length + uint32_t(__builtin_ctzll(Difference)) / 8;
        Length += 8;
    }
    while (Length < Limit && Source[Length] == Target[Length])
        ++Length;
    return Length;
}

// Deflate's extra distance bits (RFC 1951, 3.2.5): distance codes 4 and up carry
// floor(log2(Distance - 1)) - 1 of them.
double DistanceExtraBits(uint32_t Distance)
{
    if (Distance <= 4)
        return 0;
    return double(31 - __builtin_clz(Distance - 1) - 1);
}

struct ReverseParse
{
    const unsigned char* Reversed = nullptr;
    uint32_t Size = 0;
    Ucs1EncoderTuning Tuning;
    uint32_t HashShift = 0;

    // Chains of anchors (every AnchorSpacing-th position) with equal hashes, nearest first;
    // Previous is indexed by anchor number.
    std::vector<uint32_t> Head;
    std::vector<uint32_t> Previous;
    // StreamSamples[K]: block bytes that stand for reversed positions before K *
    // StreamSampleSpacing, i.e. the distance from that input position to the end of the block.
    // Valid up to Decided.
    std::vector<uint32_t> StreamSamples;
    // One bit a position: whether the byte at a decided position is a literal byte of the
    // block, where deflate can see it.
    std::vector<uint64_t> LiteralBits;
    std::vector<ParsedToken> Tokens;

    uint32_t Decided = 0;
    uint32_t StreamBytes = 0;
    uint32_t PendingLiterals = 0;
    uint32_t InsertedUpTo = 0;
    uint32_t RunStart = 0;
};

uint32_t HashAt(const ReverseParse& Parse, uint32_t Position)
{
    const unsigned char* Bytes = Parse.Reversed + Position;
    const uint64_t Mixed = Load64(Bytes) ^ (Load64(Bytes + 8) * 0xC2B2AE3D27D4EB4Full);
    return uint32_t((Mixed * 0x9E3779B97F4A7C15ull) >> Parse.HashShift);
}

bool IsLiteralAt(const ReverseParse& Parse, uint32_t Position)
{
    return (Parse.LiteralBits[Position / 64] >> (Position % 64) & 1) != 0;
}

void MarkLiteral(ReverseParse& Parse, uint32_t Position, bool IsLiteral)
{
    const uint64_t Bit = uint64_t(1) << (Position % 64);
    if (IsLiteral)
        Parse.LiteralBits[Position / 64] |= Bit;
    else
        Parse.LiteralBits[Position / 64] &= ~Bit;
}

// Block bytes for reversed positions before Position. Exact over the pending literals (one
// block byte each, their header not yet written) and beyond Decided, where undecided bytes
// count as literals; further back the nearest sample at or before Position.
uint32_t StreamAt(const ReverseParse& Parse, uint32_t Position)
{
    if (Position >= Parse.Decided)
        return Parse.StreamBytes + (Position - Parse.Decided);
    if (Parse.Decided - Position <= Parse.PendingLiterals)
        return Parse.StreamBytes - (Parse.Decided - Position);
    return Parse.StreamSamples[Position / StreamSampleSpacing];
}

// Records the block position of every sampled position in (From, To] as the current one.
void SampleStream(ReverseParse& Parse, uint32_t From, uint32_t To)
{
    for (uint32_t Sampled = From / StreamSampleSpacing + 1; Sampled <= To / StreamSampleSpacing; ++Sampled)
        Parse.StreamSamples[Sampled] = Parse.StreamBytes;
}

// Puts the anchors before Limit on their chains. Anchors inside references go on too: what a
// reference covers is still output that a later (in the reversed copy) target may copy.
void InsertBefore(ReverseParse& Parse, uint32_t Limit)
{
    const unsigned char* Reversed = Parse.Reversed;
    for (uint32_t Position = Parse.InsertedUpTo; Position < Limit; ++Position)
        if (Position == 0 || Reversed[Position] != Reversed[Position - 1])
            Parse.RunStart = Position;

    const uint32_t Spacing = Parse.Tuning.AnchorSpacing;
    const uint32_t LastHashed = Parse.Size >= HashedBytes ? Parse.Size - HashedBytes + 1 : 0;
    const uint32_t End = std::min(Limit, LastHashed);
    const uint32_t FirstAnchor = (Parse.InsertedUpTo + Spacing - 1) / Spacing * Spacing;
    for (uint32_t Anchor = FirstAnchor; Anchor < End; Anchor += Spacing)
    {
        uint32_t& Slot = Parse.Head[HashAt(Parse, Anchor)];
        Parse.Previous[Anchor / Spacing] = Slot;
        Slot = Anchor;
    }
    Parse.InsertedUpTo = std::max(Parse.InsertedUpTo, Limit);
}

double DeflateMatchesBits(const ReverseParse& Parse, uint32_t Length, uint32_t StreamDistance)
{
    const uint32_t Matches = (Length + DeflateLongestMatch - 1) / DeflateLongestMatch;
    return Matches * (Parse.Tuning.MatchBits + DistanceExtraBits(StreamDistance));
}

double ReferenceBits(const ReverseParse& Parse, uint32_t Length, uint32_t Distance, bool SplitsLiterals)
{
    // A reference in the middle of literals splits their run, which costs one more header.
    const uint32_t Bytes = VarIntSize(Length * 2 + 1) + VarIntSize(Distance) + (SplitsLiterals ? 1 : 0);
    return Parse.Tuning.TokenByteBits * Bytes;
}

// A repeat as the search weighs it.
struct Found
{
    uint32_t Start = 0;
    uint32_t Length = 0;
    uint32_t Distance = 0;
    uint32_t StreamDistance = 0;
};

// Finds the best reference for the target at Position, which may also take in up to BackLimit
// undecided or literal bytes before it: the longest repeat that deflate could see (its source is
// literal and close enough in the block) and the longest that it could not, and weighs what each
// would save against leaving the bytes to deflate.
Choice FindReference(const ReverseParse& Parse, uint32_t Position, uint32_t BackLimit)
{
    const Ucs1EncoderTuning& Tuning = Parse.Tuning;
    const unsigned char* Reversed = Parse.Reversed;
    const uint32_t Remaining = Parse.Size - Position;
    if (Remaining < HashedBytes)
        return Choice{};

    Found Visible, Hidden;
    uint32_t LongestForward = 0;
    const auto Consider = [&](uint32_t Source, uint32_t Forward) {
        const uint32_t Distance = Position - Source;
        uint32_t Back = 0;
        if (Tuning.ExtendBackwards)
            while (Back < BackLimit && Back < Source && Forward + Back < Distance &&
                   Reversed[Position - 1 - Back] == Reversed[Source - 1 - Back])
                ++Back;
        const Found Repeat{Position - Back, Forward + Back, Distance, 0};
        const uint32_t From = Source - Back;
        // The gap deflate would see: the source's block position less where this target would
        // start if it stayed literal.
        const uint32_t StreamDistance =
            StreamAt(Parse, Repeat.Start) + Repeat.Length - StreamAt(Parse, From + Repeat.Length);
        const bool IsVisible = IsLiteralAt(Parse, From) && IsLiteralAt(Parse, From + Repeat.Length - 1) &&
                               StreamDistance <= Tuning.DeflateWindow;
        if (IsVisible && Tuning.ModelDeflate)
        {
            if (Repeat.Length > Visible.Length)
                Visible = Found{Repeat.Start, Repeat.Length, Distance, StreamDistance};
        }
        else if (Repeat.Length > Hidden.Length || (Repeat.Length == Hidden.Length && Distance < Hidden.Distance))
            Hidden = Repeat;
        LongestForward = std::max(LongestForward, Forward);
    };

    if (Tuning.FollowRuns && Position > 0 && Reversed[Position] == Reversed[Position - 1])
    {
        const uint32_t Distance = Position - Parse.RunStart;
        Consider(Parse.RunStart, MatchLength(Reversed + Parse.RunStart, Reversed + Position,
                                             std::min(Remaining, Distance)));
    }

    // Most positions find nothing, and then the chain head is the one cache miss that matters:
    // asking for a later position's head now hides most of that wait.
    if (Remaining >= HashedBytes + HeadPrefetchDistance)
        __builtin_prefetch(&Parse.Head[HashAt(Parse, Position + HeadPrefetchDistance)]);

    uint32_t Steps = Tuning.MaxChainSteps;
    for (uint32_t Source = Parse.Head[HashAt(Parse, Position)]; Source != NoPosition && Steps > 0;
         Source = Parse.Previous[Source / Tuning.AnchorSpacing], --Steps)
    {
        const uint32_t Limit = std::min(Remaining, Position - Source);
        if (Limit <= LongestForward || Reversed[Source + LongestForward] != Reversed[Position + LongestForward])
            continue;
        const uint32_t Forward = MatchLength(Reversed + Source, Reversed + Position, Limit);
        if (Forward < HashedBytes)
            continue;
        Consider(Source, Forward);
        if (Forward >= Tuning.GoodEnoughLength)
            break;
    }

    const auto Splits = [&](const Found& Repeat) { return Position - Repeat.Start < BackLimit; };
    Choice Best;
    if (Visible.Length >= Tuning.MinLength)
    {
        // Deflate would take the whole repeat with matches; only a long one is worth a token.
        Best = Choice{Visible.Start, Visible.Length, Visible.Distance,
                      DeflateMatchesBits(Parse, Visible.Length, Visible.StreamDistance) -
                          ReferenceBits(Parse, Visible.Length, Visible.Distance, Splits(Visible))};
    }
    if (Hidden.Length >= Tuning.MinLength && Hidden.Length > Visible.Length)
    {
        double GainBits;
        if (!Tuning.ModelDeflate)
            GainBits = Hidden.Length;
        else
        {
            // Deflate still gets the part that a visible copy covers; the rest costs it about
            // what unmatched data costs.
            const double CoveredBits =
                Visible.Length > 0 ? DeflateMatchesBits(Parse, Visible.Length, Visible.StreamDistance) : 0.0;
            GainBits = CoveredBits + Tuning.UnmatchedByteBits * (Hidden.Length - Visible.Length) -
                       ReferenceBits(Parse, Hidden.Length, Hidden.Distance, Splits(Hidden));
        }
        if (Best.Length == 0 || GainBits > Best.GainBits)
            Best = Choice{Hidden.Start, Hidden.Length, Hidden.Distance, GainBits};
    }
    if (Best.Length == 0 || Best.GainBits <= Tuning.MinGainBits)
        return Choice{};
    return Best;
}

void EmitLiteral(ReverseParse& Parse)
{
    const uint32_t Position = Parse.Decided++;
    MarkLiteral(Parse, Position, true);
    ++Parse.StreamBytes;
    ++Parse.PendingLiterals;
    if (Parse.Decided % StreamSampleSpacing == 0)
        Parse.StreamSamples[Parse.Decided / StreamSampleSpacing] = Parse.StreamBytes;
}

void CloseLiterals(ReverseParse& Parse)
{
    if (Parse.PendingLiterals == 0)
        return;
    Parse.Tokens.push_back(ParsedToken{Parse.PendingLiterals, 0, false});
    Parse.StreamBytes += VarIntSize(Parse.PendingLiterals * 2);
    Parse.PendingLiterals = 0;
}

// Takes a reference; the literals it starts over are taken back first.
void EmitReference(ReverseParse& Parse, const Choice& Taken)
{
    const uint32_t TakenBack = Parse.Decided - Taken.Start;
    for (uint32_t Literal = Taken.Start; Literal < Parse.Decided; ++Literal)
        MarkLiteral(Parse, Literal, false);
    Parse.PendingLiterals -= TakenBack;
    Parse.StreamBytes -= TakenBack;
    Parse.Decided = Taken.Start;
    CloseLiterals(Parse);
    Parse.Tokens.push_back(ParsedToken{Taken.Length, Taken.Distance, true});
    Parse.StreamBytes += VarIntSize(Taken.Length * 2 + 1) + VarIntSize(Taken.Distance);
    const uint32_t End = Taken.Start + Taken.Length;
    SampleStream(Parse, Taken.Start, End);
    Parse.Decided = End;
}

void RunParse(ReverseParse& Parse, const EncodeProgress& Progress)
{
    const uint32_t Size = Parse.Size;
    size_t NextReport = ProgressStep;
    Choice Current;
    bool CurrentKnown = false;
    while (Parse.Decided < Size)
    {
        const uint32_t Position = Parse.Decided;
        if (Progress && Position >= NextReport)
        {
            Progress(Position, Size);
            NextReport = Position + ProgressStep;
        }
        InsertBefore(Parse, Position);
        if (!CurrentKnown)
            Current = FindReference(Parse, Position, Parse.PendingLiterals);
        CurrentKnown = false;
        if (Current.Length == 0)
        {
            EmitLiteral(Parse);
            continue;
        }
        if (Parse.Tuning.LazyMatching && Position + 1 < Size)
        {
            InsertBefore(Parse, Position + 1);
            const Choice Next = FindReference(Parse, Position + 1, Parse.PendingLiterals + 1);
            if (Next.Length != 0 && Next.GainBits > Current.GainBits + Parse.Tuning.TokenByteBits)
            {
                EmitLiteral(Parse);
                Current = Next;
                CurrentKnown = true;
                continue;
            }
        }
        EmitReference(Parse, Current);
    }
    CloseLiterals(Parse);
}

// Sizes Table to Count copies of Value. Its pages are read at random, one cache line at a
// time, so on large inputs the misses in the address translation cost as much as the data
// misses; huge pages, where the system allows them, remove most of the former.
template <typename Element>
void AssignLargeTable(std::vector<Element>& Table, size_t Count, Element Value)
{
    Table.clear();
    Table.reserve(Count);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t HugePage = uintptr_t(2) << 20;
    const uintptr_t First = (reinterpret_cast<uintptr_t>(Table.data()) + HugePage - 1) & ~(HugePage - 1);
    const uintptr_t End = (reinterpret_cast<uintptr_t>(Table.data() + Count)) & ~(HugePage - 1);
    // Only a hint: where it is refused the table works as well, only slower.
    if (End > First)
        madvise(reinterpret_cast<void*>(First), End - First, MADV_HUGEPAGE);
#endif
    Table.assign(Count, Value);
}

void StoreLittleEndian32(unsigned char* Bytes, uint32_t Value)
{
    for (int Index = 0; Index < 4; ++Index)
        Bytes[Index] = static_cast<unsigned char>(Value >> (8 * Index));
}

// Writes the tokens in input order (the parse made them last first).
std::vector<unsigned char> WriteBlock(const ReverseParse& Parse, const unsigned char* Data)
{
    uint64_t BlockSize = 16;
    uint32_t ReferenceCount = 0;
    for (const ParsedToken& Token : Parse.Tokens)
    {
        BlockSize += VarIntSize(Token.Length * 2 + (Token.IsReference ? 1 : 0));
        if (Token.IsReference)
        {
            BlockSize += VarIntSize(Token.Distance);
            ++ReferenceCount;
        }
        else
            BlockSize += Token.Length;
    }
    if (BlockSize > INT32_MAX)
        throw std::length_error("the encoded block would be larger than 2 GiB");

    std::vector<unsigned char> Block(16);
    Block.reserve(size_t(BlockSize));
    uint32_t Position = 0;
    for (auto Token = Parse.Tokens.rbegin(); Token != Parse.Tokens.rend(); ++Token)
    {
        if (Token->IsReference)
        {
            AppendVarInt(Block, Token->Length * 2 + 1);
            AppendVarInt(Block, Token->Distance);
        }
        else
        {
            AppendVarInt(Block, Token->Length * 2);
            Block.insert(Block.end(), Data + Position, Data + Position + Token->Length);
        }
        Position += Token->Length;
    }
    std::memcpy(Block.data(), "ucs1", 4);
    StoreLittleEndian32(Block.data() + 4, Parse.Size);
    StoreLittleEndian32(Block.data() + 8, uint32_t(Block.size()));
    StoreLittleEndian32(Block.data() + 12, ReferenceCount);
    return Block;
}

} // namespace

uint32_t VarIntSize(uint32_t Value)
{
    uint32_t Bytes = 1;
    while (Value >= 0x80)
    {
        Value >>= 7;
        ++Bytes;
    }
    return Bytes;
}

void AppendVarInt(std::vector<unsigned char>& Block, uint32_t Value)
{
    while (Value >= 0x80)
    {
        Block.push_back(static_cast<unsigned char>(Value | 0x80));
        Value >>= 7;
    }
    Block.push_back(static_cast<unsigned char>(Value));
}

std::vector<unsigned char> EncodeUcs1(const unsigned char* Data, size_t Size, const EncodeProgress& Progress)
{
    return EncodeUcs1(Data, Size, Ucs1EncoderTuning{}, Progress);
}

std::vector<unsigned char> EncodeUcs1(const unsigned char* Data, size_t Size, const Ucs1EncoderTuning& Tuning,
                                      const EncodeProgress& Progress)
{
    if (Size > INT32_MAX)
        throw std::length_error("the input is larger than 2 GiB - 1 bytes");

    ReverseParse Parse;
    Parse.Size = uint32_t(Size);
    Parse.Tuning = Tuning;
    Parse.Tuning.MinLength = std::max(Tuning.MinLength, HashedBytes);
    Parse.Tuning.AnchorSpacing = std::clamp(Tuning.AnchorSpacing, 1u, 4096u);

    std::vector<unsigned char> Reversed;
    AssignLargeTable(Reversed, Size, static_cast<unsigned char>(0));
    std::reverse_copy(Data, Data + Size, Reversed.begin());
    Parse.Reversed = Reversed.data();

    const size_t Anchors = Size / Parse.Tuning.AnchorSpacing + 1;
    uint32_t HashBits = LeastHashBits;
    while (HashBits < MostHashBits && (size_t(1) << HashBits) < Anchors * 2)
        ++HashBits;
    Parse.HashShift = 64 - HashBits;
    AssignLargeTable(Parse.Head, size_t(1) << HashBits, NoPosition);
    AssignLargeTable(Parse.Previous, Anchors, NoPosition);
    AssignLargeTable(Parse.StreamSamples, Size / StreamSampleSpacing + 1, 0u);
    AssignLargeTable(Parse.LiteralBits, Size / 64 + 1, uint64_t(0));

    RunParse(Parse, Progress);
    if (Progress)
        Progress(Size, Size);
    return WriteBlock(Parse, Data);
}
