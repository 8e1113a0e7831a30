// The packer's encoder and the launcher's expansion together: whatever a setup program and its
// package file hold, the block that EncodeUcs1 makes of the two expands, with ExpandPacket, to
// exactly the two files again, divided where the launcher divides them.
//
// Input: two bytes that choose the split (little-endian, modulo what is left plus one), one
// byte of encoder knobs, then the setup program's bytes followed by the package file's.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "BlockPages.h"
#include "FuzzTarget.h"
#include "Memory.h"
#include "UcsEncoder.h"
#include "UltraDecompress.h"

namespace
{
// Below LargeBlockSize every block of the expansion comes from the general allocator, where the
// sanitizer sees its exact end (larger ones come from whole pages).
constexpr size_t MostExpandedSize = LargeBlockSize - 1;
constexpr size_t ControlBytes = 3;

// The defaults only take references that deflate could not match as cheaply, and a fuzz input
// of a few kilobytes has few of those; the other settings make small inputs reach every path of
// the parse and put many more references into the block.
Ucs1EncoderTuning TuningFor(uint8_t Knobs)
{
    Ucs1EncoderTuning Tuning;
    if (Knobs & 0x01)
        Tuning.ModelDeflate = false;
    if (Knobs & 0x02)
        Tuning.DeflateWindow = 64;
    if (Knobs & 0x04)
        Tuning.MinLength = 16;
    if (Knobs & 0x08)
        Tuning.FollowRuns = false;
    if (Knobs & 0x10)
        Tuning.ExtendBackwards = false;
    if (Knobs & 0x20)
        Tuning.LazyMatching = false;
    if (Knobs & 0x40)
        Tuning.MaxChainSteps = 1;
    if (Knobs & 0x80)
        Tuning.AnchorSpacing = 1;
    return Tuning;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size < ControlBytes || Size - ControlBytes > MostExpandedSize)
        return 0;
    const size_t Payload = Size - ControlBytes;
    const size_t Split = (size_t(Data[0]) | size_t(Data[1]) << 8) % (Payload + 1);
    const std::vector<unsigned char> SetupProgram(Data + ControlBytes, Data + ControlBytes + Split);
    const std::vector<unsigned char> PackageFile(Data + ControlBytes + Split, Data + Size);

    // The packer packs the two files one after the other.
    std::vector<unsigned char> Expanded(SetupProgram);
    Expanded.insert(Expanded.end(), PackageFile.begin(), PackageFile.end());
    const std::vector<unsigned char> Block = EncodeUcs1(Expanded.data(), Expanded.size(), TuningFor(Data[2]));
    FuzzRequire(Block.size() >= size_t(PacketHeaderSize) && Block.size() <= size_t(INT32_MAX),
                "the block has a header and fits its size fields");

    const auto Inflated = ExactCopy(Block.data(), Block.size());
    unsigned char* Output = nullptr;
    int32_t OutputSize = -1;
    std::string ErrorText;
    if (!ExpandPacket(Inflated.get(), int32_t(Block.size()), Output, OutputSize, ErrorText))
    {
        std::fprintf(stderr, "fuzz target: expansion refused the block: %s\n", ErrorText.c_str());
        FuzzRequire(false, "every block the encoder makes expands");
    }
    FuzzRequire(size_t(OutputSize) == Expanded.size(), "the output is as long as the two files");
    // The launcher writes the first SetupSplitOffset bytes as the setup program, the rest as
    // the package file.
    FuzzRequire(std::equal(SetupProgram.begin(), SetupProgram.end(), Output), "the output starts with the setup program");
    FuzzRequire(std::equal(PackageFile.begin(), PackageFile.end(), Output + Split),
                "the package file follows the setup program");
    ReleaseBlock(Output);
    return 0;
}
