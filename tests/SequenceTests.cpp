// The launcher sequence against recording doubles of its stages (SequenceDoubles.cpp): every way
// out, the one message, and the cleanup that follows it, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Install.h"
#include "SequenceDoubles.h"

namespace
{
struct WayOut
{
    const char* Name;
    SequenceScript Script;
    std::vector<std::string> Events;
};

void PrintTo(const WayOut& Way, std::ostream* Stream)
{
    *Stream << Way.Name;
}

const std::string Dir = "/tmp/seq/";
const std::string FileCleanup[] = {"Delete " + Dir + "zlib.dll", "Delete " + Dir + "Talvorin_Setup.pak",
                                   "Delete " + Dir + "Talvorin_Setup.exe"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> Parts)
{
    std::vector<std::string> All;
    for (const auto& Part : Parts)
        All.insert(All.end(), Part.begin(), Part.end());
    return All;
}

const std::vector<std::string> Files(std::begin(FileCleanup), std::end(FileCleanup));
const std::vector<std::string> Bound = {"Write " + Dir + "zlib.dll 5", "LoadLibrary " + Dir + "zlib.dll",
                                        "Resolve"};
const std::vector<std::string> Unpacked = {"Decompress 40", "Expand 8", "Write " + Dir + "Talvorin_Setup.exe 3",
                                           "Write " + Dir + "Talvorin_Setup.pak 5"};
const std::vector<std::string> Buffers = {"Release expanded", "Release inflated"};

SequenceScript With(void (*Change)(SequenceScript&))
{
    SequenceScript Script;
    Change(Script);
    return Script;
}

std::vector<WayOut> WaysOut()
{
    return {
        {"Success", SequenceScript{},
         Join({Bound, Unpacked, {"RunSetupProgram"}, Buffers, {"FreeLibrary"}, Files})},
        {"NoTempDir", With([](SequenceScript& S) { S.TempPaths = false; }),
         {"Show Failed to determine location of temporary directory."}},
        {"LibraryWriteFails", With([](SequenceScript& S) { S.FailWriteOf = "zlib.dll"; }),
         Join({{"Write " + Dir + "zlib.dll 5", "Show write failed: zlib.dll"}, Files})},
        {"LoadFails", With([](SequenceScript& S) { S.LoadFails = true; }),
         Join({{"Write " + Dir + "zlib.dll 5", "LoadLibrary " + Dir + "zlib.dll",
                "Show Failed to load library: " + Dir + "zlib.dll\r\nsystem text 126"},
               Files})},
        {"EntryPointMissing", With([](SequenceScript& S) { S.ResolveFails = true; }),
         Join({Bound, {"Show One or more functions are missing from the compression library.", "FreeLibrary"},
               Files})},
        {"DecompressFails", With([](SequenceScript& S) { S.DecompressFails = true; }),
         Join({Bound, {"Decompress 40", "Show Failed to decompress packet: Compression data error"},
               {"FreeLibrary"}, Files})},
        {"ExpandFails", With([](SequenceScript& S) { S.ExpandFails = true; }),
         Join({Bound,
               {"Decompress 40", "Expand 8",
                "Show Failed to expand packet: Compressed data has an invalid signature", "Release inflated",
                "FreeLibrary"},
               Files})},
        {"OutputShorterThanSetupProgram", With([](SequenceScript& S) { S.ExpandedSize = 2; }),
         Join({Bound,
               {"Decompress 40", "Expand 8",
                "Show Failed to expand packet: Expanded data is shorter than the setup program"},
               Buffers, {"FreeLibrary"}, Files})},
        {"SetupProgramWriteFails", With([](SequenceScript& S) { S.FailWriteOf = "Talvorin_Setup.exe"; }),
         Join({Bound,
               {"Decompress 40", "Expand 8", "Write " + Dir + "Talvorin_Setup.exe 3",
                "Show write failed: Talvorin_Setup.exe"},
               Buffers, {"FreeLibrary"}, Files})},
        {"PackageWriteFails", With([](SequenceScript& S) { S.FailWriteOf = "Talvorin_Setup.pak"; }),
         Join({Bound,
               {"Decompress 40", "Expand 8", "Write " + Dir + "Talvorin_Setup.exe 3",
                "Write " + Dir + "Talvorin_Setup.pak 5", "Show write failed: Talvorin_Setup.pak"},
               Buffers, {"FreeLibrary"}, Files})},
        {"SetupProgramFails", With([](SequenceScript& S) { S.RunFails = true; }),
         Join({Bound, Unpacked, {"RunSetupProgram", "Show start failed"}, Buffers, {"FreeLibrary"}, Files})},
        {"ExceptionInExpansion", With([](SequenceScript& S) { S.ExpandThrows = true; }),
         Join({Bound, {"Decompress 40", "Expand 8", "Release expanded", "Release inflated", "FreeLibrary"}, Files,
               {"Show Failed to initialize Setup program. An unknown error has occurred."}})},
        {"ExceptionInSetupProgram", With([](SequenceScript& S) { S.RunThrows = true; }),
         Join({Bound, Unpacked, {"RunSetupProgram"}, Buffers, {"FreeLibrary"}, Files,
               {"Show Failed to initialize Setup program. An unknown error has occurred."}})},
    };
}

class SequenceWayOut : public testing::TestWithParam<WayOut>
{
};

TEST_P(SequenceWayOut, ShowsOneMessageThenRunsTheOpenCleanupsInnermostFirst)
{
    Script = GetParam().Script;
    Events.clear();
    ResetSequenceState();
    EXPECT_EQ(RunInstall(), 0);
    EXPECT_EQ(Events, GetParam().Events);
    EXPECT_EQ(LiveBlocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(WaysOut, SequenceWayOut, testing::ValuesIn(WaysOut()),
                         [](const testing::TestParamInfo<WayOut>& Info) { return std::string(Info.param.Name); });

TEST(Sequence, DecompressFailureLeavesNoBlockForTheBufferCleanup)
{
    Script = SequenceScript{};
    Script.DecompressFails = true;
    Events.clear();
    ResetSequenceState();
    RunInstall();
    EXPECT_EQ(InflatedData, nullptr);
    EXPECT_EQ(ExpandedOutput, nullptr);
}
}  // namespace
