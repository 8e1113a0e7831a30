// ExpandPacket on arbitrary blocks. Whatever a damaged packet inflates to, the expansion may read
// only its InflatedSize bytes and write only inside the blocks it allocates, and it either hands
// over one block of the header's OutputSize with no error text, or no block and a reason.
#include <climits>
#include <string>

#include "BlockPages.h"
#include "FuzzTarget.h"
#include "Memory.h"
#include "UltraDecompress.h"

namespace
{
// A header may ask for up to 2 GiB of output from a few dozen stream bytes, and AllocateBlock
// ends the process with exit status 203 when it cannot have a block: such inputs would only
// find the fuzzer's memory limit. Blocks from LargeBlockSize on also come from whole pages,
// where the sanitizer cannot see where the block really ends; below that size every block
// comes from the general allocator, so a byte written or read past the output or the
// reference table faults at once.
constexpr int32_t MostOutputSize = int32_t(LargeBlockSize - 1);
constexpr int32_t MostReferenceCount = int32_t(MostOutputSize / sizeof(ReferenceRecord));

bool AsksForTooMuch(const uint8_t* Data, size_t Size)
{
    if (Size > size_t(INT32_MAX))
        return true;
    if (Size < size_t(PacketHeaderSize))
        return false;
    // Negative fields are let through: their refusal is under test too.
    return int32_t(LoadLittleEndian32(Data + 4)) > MostOutputSize ||
           int32_t(LoadLittleEndian32(Data + 12)) > MostReferenceCount;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (AsksForTooMuch(Data, Size))
        return 0;
    const auto Input = ExactCopy(Data, Size);
    unsigned char Untouched = 0;
    unsigned char* Output = &Untouched;
    int32_t OutputSize = -1;
    std::string ErrorText = "left over";
    if (!ExpandPacket(Input.get(), int32_t(Size), Output, OutputSize, ErrorText))
    {
        // The leak checker catches a block that was kept without being handed over.
        FuzzRequire(Output == &Untouched || Output == nullptr, "a refused block hands over no block");
        FuzzRequire(!ErrorText.empty(), "a refused block says why");
        return 0;
    }
    FuzzRequire(Size >= size_t(PacketHeaderSize), "only a block with a whole header expands");
    FuzzRequire(Output != nullptr && Output != &Untouched, "an expanded block is handed over");
    FuzzRequire(OutputSize == int32_t(LoadLittleEndian32(Input.get() + 4)), "the output has the header's OutputSize");
    FuzzRequire(ErrorText.empty(), "an expanded block leaves no error text");
    TouchWholeBlock(Output, OutputSize);
    ReleaseBlock(Output);
    return 0;
}
