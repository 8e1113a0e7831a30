// The block allocator: large blocks from whole pages while there are slots, the general
// allocator beyond them, and every block released through the one call.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "BlockPages.h"
#include "Memory.h"
#include "TestFolder.h"

namespace
{
TEST(AllocateBlock, LargeAndSmallBlocksAreWholeAndReleasable)
{
    for (int Round = 0; Round < 2; ++Round)
    {
        std::vector<unsigned char*> Blocks;
        const size_t Sizes[] = {0, 1, 4096, LargeBlockSize - 1, LargeBlockSize, LargeBlockSize + 1, 13654492};
        // More large blocks than there are page slots: the rest come from the general allocator.
        for (int Copy = 0; Copy < 4; ++Copy)
            for (size_t Size : Sizes)
            {
                auto* Block = static_cast<unsigned char*>(AllocateBlock(Size));
                ASSERT_NE(Block, nullptr);
                std::memset(Block, 0xA5, Size);
                if (Size != 0)
                {
                    EXPECT_EQ(Block[Size - 1], 0xA5);
                }
                Blocks.push_back(Block);
            }
        for (unsigned char* Block : Blocks)
            ReleaseBlock(Block);
    }
    ReleaseBlock(nullptr);
}

TEST(AllocatePages, GivesAlignedWholePages)
{
    void* Block = AllocatePages(3 * LargeBlockSize + 5);
    ASSERT_NE(Block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(Block) % LargeBlockSize, 0u);
    std::memset(Block, 1, 4 * LargeBlockSize);  // rounded up to whole pages
    EXPECT_TRUE(ReleasePages(Block));
    EXPECT_FALSE(ReleasePages(Block));
    int NotOurs;
    EXPECT_FALSE(ReleasePages(&NotOurs));
}
// The stored packet lies in the launcher's image, a read-only mapping of its file: pages dropped
// from it come back as they were when read again.
TEST(DiscardReadOnlyPages, MappedFileReadsTheSameAfterwards)
{
    TestFolder Folder;
    std::string Content(5 * 4096 + 123, '\0');
    for (size_t Index = 0; Index < Content.size(); ++Index)
        Content[Index] = char(Index * 31 + Index / 4096);
    WriteFileText(Folder / "image", Content);
    const int File = open((Folder / "image").c_str(), O_RDONLY);
    ASSERT_GE(File, 0);
    auto* Mapped = static_cast<const char*>(mmap(nullptr, Content.size(), PROT_READ, MAP_PRIVATE, File, 0));
    ASSERT_NE(Mapped, MAP_FAILED);
    ASSERT_EQ(std::string(Mapped, Content.size()), Content);
    DiscardReadOnlyPages(Mapped + 100, Content.size() - 200);
    EXPECT_EQ(std::string(Mapped, Content.size()), Content);
    munmap(const_cast<char*>(Mapped), Content.size());
    close(File);
}
}  // namespace
