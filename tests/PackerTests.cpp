// The packer: the encoder's blocks are well-formed by an independent reading and expand back
// exactly through the launcher's own code, the encoder finds the repeats it is there for, and the
// PackSetup command refuses bad input without leaving any file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "FileAccess.h"
#include "PacketFile.h"
#include "TestFolder.h"
#include "UcsEncoder.h"

extern char** environ;

namespace
{
using Bytes = std::vector<unsigned char>;

// --- An independent reading of the block -------------------------------------------------------

bool TakeVarInt(const Bytes& Block, size_t& At, uint64_t& Value)
{
    Value = 0;
    for (int Index = 0; Index < 5; ++Index)
    {
        if (At >= Block.size())
            return false;
        const unsigned Byte = Block[At++];
        if (Index == 4 && Byte > 0x0F)
            return false;
        Value |= uint64_t(Byte & 0x7F) << (7 * Index);
        if ((Byte & 0x80) == 0)
            return true;
    }
    return false;
}

uint32_t Field(const Bytes& Block, size_t At)
{
    return uint32_t(Block[At]) | uint32_t(Block[At + 1]) << 8 | uint32_t(Block[At + 2]) << 16 |
           uint32_t(Block[At + 3]) << 24;
}

// Empty when Block is a well-formed ucs1 block of ExpectedOutput's bytes, else the first fault.
// It replays the tokens itself (references last to first, as the launcher does) so that it does
// not lean on the expander it is checking the encoder against.
std::string CheckBlock(const Bytes& Block, const Bytes& ExpectedOutput)
{
    if (Block.size() < 16 || std::memcmp(Block.data(), "ucs1", 4) != 0)
        return "no ucs1 header";
    const uint64_t OutputSize = Field(Block, 4);
    if (OutputSize != ExpectedOutput.size())
        return "OutputSize " + std::to_string(OutputSize) + " for " + std::to_string(ExpectedOutput.size()) + " bytes";
    if (Field(Block, 8) != Block.size())
        return "InputSize is not the block's length";
    struct Copy
    {
        uint64_t Target, Source, Length;
    };
    std::vector<Copy> Copies;
    Bytes Output(OutputSize, 0);
    size_t At = 16;
    uint64_t Position = 0;
    while (At < Block.size())
    {
        uint64_t Token;
        if (!TakeVarInt(Block, At, Token))
            return "bad token integer at " + std::to_string(At);
        const uint64_t Length = Token >> 1;
        if (Position + Length > OutputSize)
            return "lengths add up past OutputSize";
        if ((Token & 1) == 0)
        {
            if (At + Length > Block.size())
                return "literal past the block's end";
            std::copy(Block.begin() + long(At), Block.begin() + long(At + Length), Output.begin() + long(Position));
            At += Length;
        }
        else
        {
            uint64_t Distance;
            if (!TakeVarInt(Block, At, Distance))
                return "bad distance integer";
            if (Length != 0 && Distance < Length)
                return "reference at " + std::to_string(Position) + " overlaps its source";
            if (Position + Distance + Length > OutputSize)
                return "reference at " + std::to_string(Position) + " reads past the output";
            Copies.push_back({Position, Position + Distance, Length});
        }
        Position += Length;
    }
    if (Position != OutputSize)
        return "lengths add up to " + std::to_string(Position) + ", not OutputSize";
    if (Copies.size() != Field(Block, 12))
        return "ReferenceCount " + std::to_string(Field(Block, 12)) + " for " + std::to_string(Copies.size()) +
               " references";
    for (auto Each = Copies.rbegin(); Each != Copies.rend(); ++Each)
        std::copy_n(Output.begin() + long(Each->Source), Each->Length, Output.begin() + long(Each->Target));
    if (Output != ExpectedOutput)
        return "the tokens replay to other bytes";
    return "";
}

// --- Inputs ------------------------------------------------------------------------------------

Bytes RandomBytes(size_t Size, uint32_t Seed)
{
    std::mt19937 Generator(Seed);
    Bytes Out(Size);
    for (unsigned char& Byte : Out)
        Byte = static_cast<unsigned char>(Generator());
    return Out;
}

Bytes Joined(std::initializer_list<Bytes> Pieces)
{
    Bytes Out;
    for (const Bytes& Piece : Pieces)
        Out.insert(Out.end(), Piece.begin(), Piece.end());
    return Out;
}

Bytes Repeated(const Bytes& Piece, size_t Times)
{
    Bytes Out;
    for (size_t Index = 0; Index < Times; ++Index)
        Out.insert(Out.end(), Piece.begin(), Piece.end());
    return Out;
}

Bytes FileBytes(const std::string& Path)
{
    Bytes Contents;
    std::string ErrorText;
    EXPECT_TRUE(ReadWholeFile(Path, Contents, ErrorText)) << ErrorText;
    return Contents;
}

struct RoundTripCase
{
    const char* Name;
    std::function<Bytes()> Setup;
    std::function<Bytes()> Package;
};

const std::vector<RoundTripCase>& RoundTripCases()
{
    static const std::vector<RoundTripCase> Cases = {
        {"one byte, empty package", [] { return Bytes{0x4D}; }, [] { return Bytes{}; }},
        {"one byte each", [] { return Bytes{0x4D}; }, [] { return Bytes{0x5A}; }},
        {"shorter than a hashed stretch", [] { return Bytes(15, 'a'); }, [] { return Bytes{'b'}; }},
        {"random", [] { return RandomBytes(70000, 1); }, [] { return RandomBytes(130000, 2); }},
        {"one long run", [] { return Bytes{1}; }, [] { return Bytes(3 << 20, 0); }},
        {"runs of many lengths",
         [] {
             Bytes Out;
             for (size_t Length = 1; Length < 5000; Length = Length * 3 / 2 + 1)
                 Out.insert(Out.end(), Length, static_cast<unsigned char>(Length));
             return Out;
         },
         [] { return Bytes(70000, 0xFF); }},
        {"far repeat across the split",
         [] { return Joined({RandomBytes(50000, 3), RandomBytes(200000, 4)}); },
         [] { return Joined({RandomBytes(300000, 5), RandomBytes(50000, 3)}); }},
        {"near repeats", [] { return Repeated(RandomBytes(5000, 6), 40); }, [] { return RandomBytes(100, 7); }},
        {"short period", [] { return Repeated(Bytes{'x', 'y', 'z'}, 100000); }, [] { return Bytes{'x'}; }},
        {"repeat ending the input", [] { return RandomBytes(40000, 8); },
         [] { return Joined({RandomBytes(60000, 9), RandomBytes(40000, 8)}); }},
        // At most its first 2 MiB, which keeps the sanitizer build's much larger binary quick.
        {"this test program",
         [] {
             Bytes Program = FileBytes("/proc/self/exe");
             Program.resize(std::min<size_t>(Program.size(), 2 << 20));
             return Program;
         },
         [] { return RandomBytes(1000, 10); }},
    };
    return Cases;
}

// Besides the tuned encoder, one that takes every repeat it can find, so that references chain
// through each other far more often than they would on real data.
Ucs1EncoderTuning Greedy()
{
    Ucs1EncoderTuning Tuning;
    Tuning.MinLength = 16;
    Tuning.AnchorSpacing = 1;
    Tuning.ModelDeflate = false;
    return Tuning;
}

TEST(PackerRoundTrip, TableOfInputs)
{
    for (const RoundTripCase& Case : RoundTripCases())
    {
        SCOPED_TRACE(Case.Name);
        const Bytes Setup = Case.Setup();
        const Bytes Expanded = Joined({Setup, Case.Package()});

        for (const Ucs1EncoderTuning& Tuning : {Ucs1EncoderTuning{}, Greedy()})
        {
            const Bytes Block = EncodeUcs1(Expanded.data(), Expanded.size(), Tuning);
            EXPECT_EQ(CheckBlock(Block, Expanded), "");
        }

        Bytes Stored;
        PackFigures Figures;
        std::string ErrorText;
        ASSERT_TRUE(PackExpandedOutput(Expanded, Stored, Figures, ErrorText)) << ErrorText;
        EXPECT_EQ(Stored[4], 0x78);
        EXPECT_EQ(Stored[5], 0xDA);
        EXPECT_EQ(Figures.StoredSize, Stored.size());

        Bytes Block, Output;
        ASSERT_TRUE(InflateStoredPacket(Stored.data(), Stored.size(), Block, ErrorText)) << ErrorText;
        EXPECT_EQ(Block.size(), Figures.InflatedSize);
        EXPECT_EQ(CheckBlock(Block, Expanded), "");
        ASSERT_TRUE(ExpandBlock(Block, Output, ErrorText)) << ErrorText;
        EXPECT_TRUE(Output == Expanded);
    }
}

// Many small inputs stitched from copies of their own earlier parts, so that repeats overlap,
// nest and touch the ends in every way; only the block's form and replay are checked.
TEST(PackerRoundTrip, StitchedInputsStayWellFormed)
{
    std::mt19937 Generator(11);
    for (int Round = 0; Round < 300; ++Round)
    {
        Bytes Input = RandomBytes(Generator() % 64, uint32_t(Generator()));
        const size_t Target = Generator() % 6000;
        while (Input.size() < Target)
        {
            if (Generator() % 3 == 0 || Input.empty())
                Input.push_back(static_cast<unsigned char>(Generator() % 4));
            else
            {
                const size_t From = Generator() % Input.size();
                const size_t Length = std::min<size_t>(Generator() % 200 + 1, Input.size() - From);
                Input.insert(Input.end(), Input.begin() + long(From), Input.begin() + long(From + Length));
            }
        }
        for (const Ucs1EncoderTuning& Tuning : {Ucs1EncoderTuning{}, Greedy()})
        {
            const Bytes Block = EncodeUcs1(Input.data(), Input.size(), Tuning);
            const std::string Fault = CheckBlock(Block, Input);
            ASSERT_EQ(Fault, "") << "round " << Round << ", " << Input.size() << " bytes";
            Bytes Output;
            std::string ErrorText;
            ASSERT_TRUE(ExpandBlock(Block, Output, ErrorText)) << ErrorText;
            ASSERT_TRUE(Output == Input) << "round " << Round;
        }
    }
}

// The point of the encoder: repeats out of deflate's reach become references, so the packet is
// far smaller than deflate alone makes it; one long run costs a handful of tokens.
TEST(PackerEncoder, TakesWhatDeflateCannotSee)
{
    struct Case
    {
        const char* Name;
        Bytes Input;
        double MostOfDeflateAlone;
    };
    const Bytes Chunk = RandomBytes(300000, 12);
    const std::vector<Case> Cases = {
        {"a chunk far apart twice", Joined({Chunk, RandomBytes(100000, 13), Chunk}), 0.80},
        {"a chunk four times", Repeated(Chunk, 4), 0.30},
        {"one long run", Bytes(8 << 20, 0), 0.05},
    };
    for (const Case& Each : Cases)
    {
        SCOPED_TRACE(Each.Name);
        Bytes DeflateAlone, Packed;
        PackFigures Figures;
        std::string ErrorText;
        ASSERT_TRUE(DeflateBlock(Each.Input, DeflateAlone, ErrorText)) << ErrorText;
        ASSERT_TRUE(PackExpandedOutput(Each.Input, Packed, Figures, ErrorText)) << ErrorText;
        EXPECT_LT(double(Packed.size()), Each.MostOfDeflateAlone * double(DeflateAlone.size()));
    }
}

TEST(PackerEncoder, ReportsProgressUpToTheWholeInput)
{
    const Bytes Input = RandomBytes(3 << 20, 14);
    size_t Last = 0, Calls = 0;
    bool Rising = true;
    EncodeUcs1(Input.data(), Input.size(), [&](size_t Done, size_t Total) {
        Rising = Rising && Done >= Last && Total == Input.size();
        Last = Done;
        ++Calls;
    });
    EXPECT_TRUE(Rising);
    EXPECT_EQ(Last, Input.size());
    EXPECT_GE(Calls, 2u);
}

// --- Reading packets and blocks ----------------------------------------------------------------

Bytes Packed(const Bytes& Expanded)
{
    Bytes Stored;
    PackFigures Figures;
    std::string ErrorText;
    EXPECT_TRUE(PackExpandedOutput(Expanded, Stored, Figures, ErrorText)) << ErrorText;
    return Stored;
}

TEST(PackerPacket, DamagedPacketsAreRefused)
{
    const Bytes Good = Packed(Joined({RandomBytes(5000, 15), RandomBytes(5000, 15)}));
    struct Case
    {
        const char* Name;
        std::function<void(Bytes&)> Damage;
        const char* Mentions;
    };
    const std::vector<Case> Cases = {
        {"cut short", [](Bytes& Packet) { Packet.resize(Packet.size() - 3); }, "cut short"},
        {"bytes after the stream", [](Bytes& Packet) { Packet.push_back(0); }, "after its zlib stream"},
        {"size one too large", [](Bytes& Packet) { ++Packet[0]; }, "not its recorded"},
        {"size one too small", [](Bytes& Packet) { --Packet[0]; }, "more than its recorded"},
        {"negative size", [](Bytes& Packet) { Packet[3] = 0x80; }, "negative"},
        {"only a size", [](Bytes& Packet) { Packet.resize(4); }, "too short"},
        {"size beyond what deflate can hold", [](Bytes& Packet) { Packet[3] = 0x7F; }, "can hold"},
        {"checksum damaged", [](Bytes& Packet) { Packet.back() ^= 1; }, "corrupt"},
    };
    for (const Case& Each : Cases)
    {
        SCOPED_TRACE(Each.Name);
        Bytes Packet = Good;
        Each.Damage(Packet);
        Bytes Block;
        std::string ErrorText;
        EXPECT_FALSE(InflateStoredPacket(Packet.data(), Packet.size(), Block, ErrorText));
        EXPECT_NE(ErrorText.find(Each.Mentions), std::string::npos) << ErrorText;
    }
}

Bytes MakeBlock(uint32_t OutputSize, uint32_t ReferenceCount, const Bytes& Stream)
{
    Bytes Block = {'u', 'c', 's', '1'};
    for (const uint32_t Value : {OutputSize, uint32_t(16 + Stream.size()), ReferenceCount})
        for (int Shift = 0; Shift < 32; Shift += 8)
            Block.push_back(static_cast<unsigned char>(Value >> Shift));
    Block.insert(Block.end(), Stream.begin(), Stream.end());
    return Block;
}

TEST(PackerPacket, SummaryCountsTokens)
{
    // 41 42 41 42 41 42: two references of 2 bytes, each reading the two bytes after it, then
    // the literal "AB".
    const Bytes Block = MakeBlock(6, 2, {0x05, 0x02, 0x05, 0x02, 0x04, 0x41, 0x42});
    BlockSummary Summary;
    std::string ErrorText;
    ASSERT_TRUE(SummariseBlock(Block, Summary, ErrorText)) << ErrorText;
    EXPECT_EQ(Summary.OutputSize, 6);
    EXPECT_EQ(Summary.InputSize, 23);
    EXPECT_EQ(Summary.Literals.Count, 1u);
    EXPECT_EQ(Summary.Literals.Bytes, 2u);
    EXPECT_EQ(Summary.References.Count, 2u);
    EXPECT_EQ(Summary.References.Bytes, 4u);
    EXPECT_EQ(Summary.References.ShortestLength, 2u);
    EXPECT_EQ(Summary.References.NearestDistance, 2u);
    EXPECT_EQ(Summary.References.FurthestDistance, 2u);
}

TEST(PackerPacket, SummaryRefusesMalformedBlocks)
{
    struct Case
    {
        const char* Name;
        Bytes Block;
    };
    const std::vector<Case> Cases = {
        {"source overlaps target", MakeBlock(4, 1, {0x05, 0x01, 0x04, 'a', 'b'})},
        {"source past the output", MakeBlock(4, 1, {0x05, 0x03, 0x04, 'a', 'b'})},
        {"too few references counted", MakeBlock(6, 1, {0x05, 0x02, 0x05, 0x02, 0x04, 'a', 'b'})},
        {"lengths short of OutputSize", MakeBlock(3, 0, {0x04, 'a', 'b'})},
        {"literal past the block", MakeBlock(4, 0, {0x08, 'a', 'b'})},
        {"six-byte integer", MakeBlock(1, 0, {0x82, 0x80, 0x80, 0x80, 0x80, 0x00, 'a'})},
        {"fifth byte too large", MakeBlock(1, 0, {0x82, 0x80, 0x80, 0x80, 0x10, 'a'})},
    };
    for (const Case& Each : Cases)
    {
        SCOPED_TRACE(Each.Name);
        BlockSummary Summary;
        std::string ErrorText;
        EXPECT_FALSE(SummariseBlock(Each.Block, Summary, ErrorText));
        EXPECT_FALSE(ErrorText.empty());
    }
}

TEST(PackerPacket, SizesHeaderHasTheAssemblerFriendlyForm)
{
    EXPECT_EQ(SizesHeaderText(4208941, 956416), "/* Written by PackSetup for the packet beside it. */\n"
                                                "#define PACKED_STORED_SIZE 4208941\n"
                                                "#define PACKED_SETUP_SPLIT_OFFSET 956416\n");
}

// --- The command -------------------------------------------------------------------------------

struct CommandResult
{
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

CommandResult RunPackSetup(const TestFolder& Folder, const std::vector<std::string>& Arguments)
{
    std::vector<std::string> Words{PACK_SETUP_PATH};
    Words.insert(Words.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> Argv;
    for (std::string& Word : Words)
        Argv.push_back(Word.data());
    Argv.push_back(nullptr);

    const std::string OutPath = Folder / "command.out", ErrPath = Folder / "command.err";
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, OutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t Child;
    CommandResult Result;
    if (posix_spawn(&Child, Argv[0], &Actions, nullptr, Argv.data(), environ) == 0)
    {
        int Status = 0;
        waitpid(Child, &Status, 0);
        Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    }
    posix_spawn_file_actions_destroy(&Actions);
    Result.Out = ReadFileText(OutPath);
    Result.Err = ReadFileText(ErrPath);
    std::filesystem::remove(OutPath);
    std::filesystem::remove(ErrPath);
    return Result;
}

void WriteBytes(const std::string& Path, const Bytes& Contents)
{
    WriteFileText(Path, std::string(Contents.begin(), Contents.end()));
}

// The number after "Label" on its own line of Text, or -1.
long long FigureAfter(const std::string& Text, const std::string& Label)
{
    std::istringstream Lines(Text);
    std::string Line;
    while (std::getline(Lines, Line))
        if (Line.rfind(Label, 0) == 0)
            return std::stoll(Line.substr(Label.size()));
    return -1;
}

std::vector<std::string> FolderEntries(const TestFolder& Folder)
{
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder.Path))
        Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

TEST(PackSetupCommand, PackUnpackAndInfoAgree)
{
    TestFolder Folder;
    const Bytes Setup = FileBytes(PACK_SETUP_PATH);
    const Bytes Package = Joined({RandomBytes(40000, 16), Setup, RandomBytes(40000, 16)});
    WriteBytes(Folder / "Setup.bin", Setup);
    WriteBytes(Folder / "Package.bin", Package);

    const CommandResult Pack = RunPackSetup(Folder, {"pack", Folder / "Setup.bin", Folder / "Package.bin", "-o",
                                                     Folder / "Setup.packet", "--header", Folder / "Sizes.h"});
    ASSERT_EQ(Pack.ExitCode, 0) << Pack.Err;
    const std::string Packet = ReadFileText(Folder / "Setup.packet");
    EXPECT_EQ(FigureAfter(Pack.Out, "SetupSplitOffset:"), (long long)Setup.size());
    EXPECT_EQ(FigureAfter(Pack.Out, "Stored size:"), (long long)Packet.size());
    EXPECT_EQ(ReadFileText(Folder / "Sizes.h"), SizesHeaderText(Packet.size(), Setup.size()));

    const CommandResult Unpack = RunPackSetup(Folder, {"unpack", Folder / "Setup.packet", "-o", Folder / "Out.bin"});
    ASSERT_EQ(Unpack.ExitCode, 0) << Unpack.Err;
    EXPECT_TRUE(FileBytes(Folder / "Out.bin") == Joined({Setup, Package}));

    const CommandResult Info = RunPackSetup(Folder, {"info", Folder / "Setup.packet"});
    ASSERT_EQ(Info.ExitCode, 0) << Info.Err;
    const long long OutputSize = FigureAfter(Info.Out, "OutputSize:");
    EXPECT_EQ(OutputSize, (long long)(Setup.size() + Package.size()));
    EXPECT_EQ(FigureAfter(Info.Out, "Stored size:"), (long long)Packet.size());
    EXPECT_EQ(FigureAfter(Info.Out, "InflatedSize:"), FigureAfter(Pack.Out, "Inflated size:"));
    EXPECT_EQ(FigureAfter(Info.Out, "InputSize:"), FigureAfter(Pack.Out, "Inflated size:"));
    // "Literals: N tokens, B bytes" and the same for references: the bytes make the output, and
    // the setup program copied into the package must have become references.
    const auto BytesOf = [&](const std::string& Label) {
        const std::string Line = Info.Out.substr(Info.Out.find(Label));
        return std::stoll(Line.substr(Line.find(", ") + 2));
    };
    EXPECT_EQ(BytesOf("Literals:") + BytesOf("References:"), OutputSize);
    EXPECT_GT(FigureAfter(Info.Out, "ReferenceCount:"), 0);
    EXPECT_GE(BytesOf("References:"), (long long)Setup.size());
}

TEST(PackSetupCommand, BadInputFailsAndLeavesNoFile)
{
    struct Case
    {
        const char* Name;
        std::vector<std::string> Arguments;
        const char* Mentions;
    };
    TestFolder Folder;
    WriteBytes(Folder / "Setup.bin", RandomBytes(3000, 17));
    WriteBytes(Folder / "Package.bin", RandomBytes(3000, 18));
    WriteBytes(Folder / "Empty.bin", {});
    WriteBytes(Folder / "Garbage.packet", RandomBytes(300, 19));
    std::filesystem::create_directory(Folder / "Folder");
    {
        // Sparse: the sizes alone must be refused before anything is read.
        const int Large = open((Folder / "Large.bin").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(ftruncate(Large, off_t(1) << 30), 0);
        close(Large);
    }
    const std::string Setup = Folder / "Setup.bin", Package = Folder / "Package.bin", Out = Folder / "Out";
    const std::vector<Case> Cases = {
        {"missing setup program", {"pack", Folder / "None.bin", Package, "-o", Out}, "None.bin"},
        {"missing package file", {"pack", Setup, Folder / "None.bin", "-o", Out}, "None.bin"},
        {"empty setup program", {"pack", Folder / "Empty.bin", Package, "-o", Out}, "empty"},
        {"setup program is a folder", {"pack", Folder / "Folder", Package, "-o", Out}, "not a regular file"},
        {"over 2 GiB together", {"pack", Folder / "Large.bin", Folder / "Large.bin", "-o", Out}, "2147483647"},
        {"output folder missing", {"pack", Setup, Package, "-o", Folder / "No/Out"}, "No/Out"},
        {"output is a folder", {"pack", Setup, Package, "-o", Folder / "Folder"}, "folder"},
        {"output cannot be written", {"pack", Setup, Package, "-o", "/proc/version/Out"}, "/proc/version/Out"},
        {"header cannot be written", {"pack", Setup, Package, "-o", Out, "--header", Folder / "No/Sizes.h"},
         "No/Sizes.h"},
        {"output is an input", {"pack", Setup, Package, "-o", Package}, "input"},
        {"no output given", {"pack", Setup, Package}, "usage"},
        {"unknown command", {"squeeze", Setup}, "usage"},
        {"unpack a damaged packet", {"unpack", Folder / "Garbage.packet", "-o", Out}, "Garbage.packet"},
        {"unpack a missing packet", {"unpack", Folder / "None.packet", "-o", Out}, "None.packet"},
        {"info on a damaged packet", {"info", Folder / "Garbage.packet"}, "Garbage.packet"},
    };
    const std::vector<std::string> Before = FolderEntries(Folder);
    const Bytes PackageBefore = FileBytes(Package);
    for (const Case& Each : Cases)
    {
        SCOPED_TRACE(Each.Name);
        const CommandResult Result = RunPackSetup(Folder, Each.Arguments);
        EXPECT_NE(Result.ExitCode, 0);
        EXPECT_NE(Result.Err.find(Each.Mentions), std::string::npos) << Result.Err;
        EXPECT_EQ(FolderEntries(Folder), Before);
    }
    EXPECT_TRUE(FileBytes(Package) == PackageBefore);
}

} // namespace
