// DecompressPacket on arbitrary packets, through the real zlib library image that the launcher
// carries, written out and loaded the launcher's way. Whatever the packet holds, the inflate
// stage reads only the packet, writes only inside its block, and succeeds exactly when the
// library's own one-call inflate (uncompress) takes the stream whole into InflatedSize bytes,
// with the same bytes.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "BlockPages.h"
#include "FuzzTarget.h"
#include "Memory.h"
#include "PacketInflate.h"
#include "TempFiles.h"
#include "ZLibBinding.h"

namespace
{
// A packet names its InflatedSize in its first four bytes and the stage allocates it before
// inflating anything, so a damaged size field asks for up to 2 GiB, and AllocateBlock ends the
// process with exit status 203 when it cannot have a block. Below LargeBlockSize the block also
// comes from the general allocator, where the sanitizer sees its exact end (larger ones come
// from whole pages).
constexpr int32_t MostInflatedSize = int32_t(LargeBlockSize - 1);

using UncompressProcedure = int(ZEXPORT*)(Bytef* Target, uLongf* TargetSize, const Bytef* Source, uLong SourceSize);
UncompressProcedure Uncompress = nullptr;

// Once for the process, as the launcher binds the library once.
bool BindLibrary()
{
    std::ifstream File(TALVORIN_ZLIB_IMAGE_FILE, std::ios::binary);
    const std::string Image((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
    const char* Temp = std::getenv("TMPDIR");
    std::string Folder = std::string(Temp != nullptr && *Temp != '\0' ? Temp : "/tmp") + "/talvorin-fuzz-XXXXXX";
    if (Image.empty() || mkdtemp(Folder.data()) == nullptr)
    {
        std::fprintf(stderr, "fuzz target: no library image at %s or no temporary folder\n", TALVORIN_ZLIB_IMAGE_FILE);
        return false;
    }
    const std::string Path = Folder + "/zlib.dll";
    std::string ErrorText;
    const bool Written = WriteBufferToFile(Image.data(), int32_t(Image.size()), Path, ErrorText);
    if (Written)
        ZLibHandle = LoadLibraryA(Path.c_str());
    // A loaded library stays mapped once its file is gone, so nothing is left behind however
    // the fuzzer ends.
    unlink(Path.c_str());
    rmdir(Folder.c_str());
    if (ZLibHandle == nullptr)
    {
        std::fprintf(stderr, "fuzz target: cannot load %s: %s\n", Path.c_str(), ErrorText.c_str());
        return false;
    }
    Uncompress = reinterpret_cast<UncompressProcedure>(GetProcAddress(ZLibHandle, "uncompress"));
    return ResolveZLibEntryPoints(ZLibHandle) && Uncompress != nullptr;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static const bool Bound = BindLibrary();
    FuzzRequire(Bound, "the zlib library image loads and has its entry points");
    const int32_t InflatedSize = Size >= 4 ? int32_t(LoadLittleEndian32(Data)) : -1;
    if (Size > size_t(INT32_MAX) || InflatedSize > MostInflatedSize)
        return 0;
    const auto Packet = ExactCopy(Data, Size);
    int32_t PacketSize = int32_t(Size);
    std::string ErrorText;
    unsigned char* Block = DecompressPacket(Packet.get(), PacketSize, ErrorText);

    bool LibraryInflates = false;
    uLongf LibrarySize = 0;
    std::unique_ptr<unsigned char[]> LibraryBlock;
    if (InflatedSize >= 0)
    {
        LibraryBlock.reset(new unsigned char[size_t(InflatedSize)]);
        LibrarySize = uLongf(InflatedSize);
        LibraryInflates = Uncompress(LibraryBlock.get(), &LibrarySize, Packet.get() + 4, uLong(Size - 4)) == Z_OK;
    }
    if (Block == nullptr)
    {
        FuzzRequire(!ErrorText.empty(), "a refused packet says why");
        FuzzRequire(!LibraryInflates, "a stream that inflates whole within InflatedSize is not refused");
        return 0;
    }
    FuzzRequire(LibraryInflates, "a stream that does not inflate whole within InflatedSize is refused");
    FuzzRequire(PacketSize == InflatedSize, "the block is InflatedSize bytes long");
    FuzzRequire(LibrarySize <= uLongf(InflatedSize) && std::equal(LibraryBlock.get(), LibraryBlock.get() + LibrarySize, Block),
                "the block holds what the stream inflates to");
    TouchWholeBlock(Block, PacketSize);
    ReleaseBlock(Block);
    return 0;
}
