// PackSetup: makes the packet that the launcher carries (the setup program and its package file,
// ucs1-encoded and deflated), and reads such packets back for checking.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "FileAccess.h"
#include "PacketFile.h"

namespace
{

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char* const UsageText =
    "usage: PackSetup pack SETUP_PROGRAM PACKAGE_FILE -o PACKET [--header HEADER]\n"
    "       PackSetup unpack PACKET -o OUTPUT\n"
    "       PackSetup info PACKET\n"
    "\n"
    "pack    writes the packet of the two files (checked by expanding it again first) and, with\n"
    "        --header, the header with its stored size and the setup program's size\n"
    "unpack  writes what a packet expands to: the setup program followed by the package file\n"
    "info    prints a packet's header fields and token figures\n";

struct CommandLine
{
    std::string Command;
    std::vector<std::string> Operands;
    std::string OutputPath;
    std::string HeaderPath;
};

int Fail(const std::string& Text)
{
    std::fprintf(stderr, "PackSetup: %s\n", Text.c_str());
    return ExitFailed;
}

int UsageError(const std::string& Text)
{
    std::fprintf(stderr, "PackSetup: %s\n%s", Text.c_str(), UsageText);
    return ExitUsage;
}

bool ParseCommandLine(int ArgumentCount, char** Arguments, CommandLine& Line, std::string& ErrorText)
{
    if (ArgumentCount < 2)
    {
        ErrorText = "no command given";
        return false;
    }
    Line.Command = Arguments[1];
    bool OptionsEnded = false;
    for (int Index = 2; Index < ArgumentCount; ++Index)
    {
        const std::string Argument = Arguments[Index];
        const bool TakesValue = !OptionsEnded && (Argument == "-o" || Argument == "--output" || Argument == "--header");
        if (TakesValue)
        {
            if (Index + 1 >= ArgumentCount || Arguments[Index + 1][0] == '\0')
            {
                ErrorText = Argument + " needs a path";
                return false;
            }
            std::string& Target = Argument == "--header" ? Line.HeaderPath : Line.OutputPath;
            if (!Target.empty())
            {
                ErrorText = Argument + " given twice";
                return false;
            }
            Target = Arguments[++Index];
        }
        else if (!OptionsEnded && Argument == "--")
            OptionsEnded = true;
        else if (!OptionsEnded && Argument.size() > 1 && Argument[0] == '-')
        {
            ErrorText = "unknown option " + Argument;
            return false;
        }
        else
            Line.Operands.push_back(Argument);
    }
    return true;
}

// Shows the encoder's progress on the terminal; nothing at all when standard error is a file or
// a pipe, so that build logs stay clean.
struct ProgressLine
{
    bool Shown = false;
    int LastPercent = -1;
};

void ShowProgress(ProgressLine& Line, const char* Stage, int Percent)
{
    if (Percent == Line.LastPercent)
        return;
    Line.LastPercent = Percent;
    Line.Shown = true;
    if (Percent >= 0)
        std::fprintf(stderr, "\rPackSetup: %s %3d%%\033[K", Stage, Percent);
    else
        std::fprintf(stderr, "\rPackSetup: %s\033[K", Stage);
    std::fflush(stderr);
}

void ClearProgress(ProgressLine& Line)
{
    if (Line.Shown)
        std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    Line.Shown = false;
}

int RunPack(const CommandLine& Line)
{
    if (Line.Operands.size() != 2 || Line.OutputPath.empty())
        return UsageError("pack needs SETUP_PROGRAM PACKAGE_FILE -o PACKET");
    const std::string& SetupPath = Line.Operands[0];
    const std::string& PackagePath = Line.Operands[1];

    std::string ErrorText;
    uint64_t SetupSize = 0, PackageSize = 0;
    if (!RegularFileSize(SetupPath, SetupSize, ErrorText) || !RegularFileSize(PackagePath, PackageSize, ErrorText))
        return Fail(ErrorText);
    if (SetupSize == 0)
        return Fail("the setup program '" + SetupPath + "' is empty");
    // Checked before reading, so that an oversized input is refused at once.
    if (SetupSize + PackageSize > INT32_MAX)
        return Fail("the two files hold " + std::to_string(SetupSize + PackageSize) +
                    " bytes together; a packet holds at most " + std::to_string(INT32_MAX));

    // An output that is one of the inputs would be lost when the output replaces it.
    std::vector<std::string> Outputs{Line.OutputPath};
    if (!Line.HeaderPath.empty())
        Outputs.push_back(Line.HeaderPath);
    for (const std::string& Output : Outputs)
        if (IsSameFile(Output, SetupPath) || IsSameFile(Output, PackagePath))
            return Fail("the output " + Output + " is one of the input files");
    if (Outputs.size() == 2 && IsSameFile(Outputs[0], Outputs[1]))
        return Fail("the packet and the header would be the same file");

    PendingFile Packet, Header;
    if (!OpenPendingFile(Line.OutputPath, Packet, ErrorText))
        return Fail(ErrorText);
    if (!Line.HeaderPath.empty() && !OpenPendingFile(Line.HeaderPath, Header, ErrorText))
        return Fail(ErrorText);

    std::vector<unsigned char> Expanded, Package;
    if (!ReadWholeFile(SetupPath, Expanded, ErrorText) || !ReadWholeFile(PackagePath, Package, ErrorText))
        return Fail(ErrorText);
    // The files may have changed since they were measured.
    const size_t SetupSplitOffset = Expanded.size();
    if (SetupSplitOffset == 0)
        return Fail("the setup program '" + SetupPath + "' is empty");
    if (uint64_t(Expanded.size()) + Package.size() > INT32_MAX)
        return Fail("the two files together are larger than a packet can hold");
    Expanded.insert(Expanded.end(), Package.begin(), Package.end());
    Package = std::vector<unsigned char>();

    ProgressLine Progress;
    EncodeProgress Report;
    const bool OnTerminal = isatty(STDERR_FILENO) != 0;
    if (OnTerminal)
        Report = [&Progress](size_t Done, size_t Total) {
            ShowProgress(Progress, "encoding", Total == 0 ? 100 : int(Done * 100 / Total));
        };
    std::vector<unsigned char> Stored;
    PackFigures Figures;
    bool Packed;
    {
        // The deflate and the check have no progress of their own; say what is going on.
        EncodeProgress Staged = [&](size_t Done, size_t Total) {
            if (Report)
                Report(Done, Total);
            if (OnTerminal && Done == Total)
                ShowProgress(Progress, "deflating and checking", -1);
        };
        Packed = PackExpandedOutput(Expanded, Stored, Figures, ErrorText, Staged);
    }
    ClearProgress(Progress);
    if (!Packed)
        return Fail(ErrorText + "; nothing was written");

    if (!WritePendingFile(Packet, Stored.data(), Stored.size(), ErrorText))
        return Fail(ErrorText);
    if (!Line.HeaderPath.empty())
    {
        const std::string Text = SizesHeaderText(Stored.size(), SetupSplitOffset);
        if (!WritePendingFile(Header, Text.data(), Text.size(), ErrorText))
            return Fail(ErrorText);
    }
    if (!CommitPendingFile(Packet, ErrorText))
        return Fail(ErrorText);
    if (!Line.HeaderPath.empty() && !CommitPendingFile(Header, ErrorText))
    {
        // A packet without the header that describes it would be built into a launcher that
        // refuses it; take it back.
        std::remove(Line.OutputPath.c_str());
        return Fail(ErrorText);
    }

    std::printf("SetupSplitOffset: %zu\n", SetupSplitOffset);
    std::printf("Expanded size:    %zu\n", Figures.ExpandedSize);
    std::printf("Inflated size:    %zu\n", Figures.InflatedSize);
    std::printf("Stored size:      %zu (%.1f%% of expanded)\n", Figures.StoredSize,
                Figures.ExpandedSize != 0 ? 100.0 * double(Figures.StoredSize) / double(Figures.ExpandedSize) : 0.0);
    std::printf("Time:             %.2f s (encode %.2f s, deflate %.2f s, check %.2f s)\n",
                Figures.EncodeSeconds + Figures.DeflateSeconds + Figures.VerifySeconds, Figures.EncodeSeconds,
                Figures.DeflateSeconds, Figures.VerifySeconds);
    return 0;
}

bool ReadPacketBlock(const std::string& PacketPath, std::vector<unsigned char>& Stored,
                     std::vector<unsigned char>& Block, std::string& ErrorText)
{
    if (!ReadWholeFile(PacketPath, Stored, ErrorText))
        return false;
    if (!InflateStoredPacket(Stored.data(), Stored.size(), Block, ErrorText))
    {
        ErrorText = PacketPath + ": " + ErrorText;
        return false;
    }
    return true;
}

int RunUnpack(const CommandLine& Line)
{
    if (Line.Operands.size() != 1 || Line.OutputPath.empty() || !Line.HeaderPath.empty())
        return UsageError("unpack needs PACKET -o OUTPUT");
    const std::string& PacketPath = Line.Operands[0];
    if (IsSameFile(PacketPath, Line.OutputPath))
        return Fail("the output " + Line.OutputPath + " is the packet itself");

    std::string ErrorText;
    PendingFile Output;
    if (!OpenPendingFile(Line.OutputPath, Output, ErrorText))
        return Fail(ErrorText);
    std::vector<unsigned char> Stored, Block, Expanded;
    if (!ReadPacketBlock(PacketPath, Stored, Block, ErrorText))
        return Fail(ErrorText);
    if (!ExpandBlock(Block, Expanded, ErrorText))
        return Fail(PacketPath + ": " + ErrorText);
    if (!WritePendingFile(Output, Expanded.data(), Expanded.size(), ErrorText) ||
        !CommitPendingFile(Output, ErrorText))
        return Fail(ErrorText);
    std::printf("Expanded size: %zu\n", Expanded.size());
    return 0;
}

void PrintTokenFigures(const char* Name, const TokenFigures& Figures, bool WithDistances)
{
    std::printf("%-17s %llu tokens, %llu bytes", Name, static_cast<unsigned long long>(Figures.Count),
                static_cast<unsigned long long>(Figures.Bytes));
    if (Figures.Count != 0)
    {
        std::printf(", lengths %u..%u", Figures.ShortestLength, Figures.LongestLength);
        if (WithDistances)
            std::printf(", distances %u..%u", Figures.NearestDistance, Figures.FurthestDistance);
    }
    std::printf("\n");
}

int RunInfo(const CommandLine& Line)
{
    if (Line.Operands.size() != 1 || !Line.OutputPath.empty() || !Line.HeaderPath.empty())
        return UsageError("info needs PACKET only");
    const std::string& PacketPath = Line.Operands[0];
    std::string ErrorText;
    std::vector<unsigned char> Stored, Block;
    if (!ReadPacketBlock(PacketPath, Stored, Block, ErrorText))
        return Fail(ErrorText);
    BlockSummary Summary;
    if (!SummariseBlock(Block, Summary, ErrorText))
        return Fail(PacketPath + ": " + ErrorText);
    std::printf("Stored size:      %zu\n", Stored.size());
    std::printf("InflatedSize:     %zu\n", Block.size());
    std::printf("Signature:        ucs1\n");
    std::printf("OutputSize:       %d\n", Summary.OutputSize);
    std::printf("InputSize:        %d\n", Summary.InputSize);
    std::printf("ReferenceCount:   %d\n", Summary.ReferenceCount);
    PrintTokenFigures("Literals:", Summary.Literals, false);
    PrintTokenFigures("References:", Summary.References, true);
    return 0;
}

int Run(int ArgumentCount, char** Arguments)
{
    CommandLine Line;
    std::string ErrorText;
    if (ArgumentCount == 2 && (std::string(Arguments[1]) == "--help" || std::string(Arguments[1]) == "-h"))
    {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (!ParseCommandLine(ArgumentCount, Arguments, Line, ErrorText))
        return UsageError(ErrorText);
    if (Line.Command == "pack")
        return RunPack(Line);
    if (Line.Command == "unpack")
        return RunUnpack(Line);
    if (Line.Command == "info")
        return RunInfo(Line);
    return UsageError("unknown command " + Line.Command);
}

} // namespace

int main(int ArgumentCount, char** Arguments)
{
    RemovePendingFilesOnInterrupt();
    try
    {
        return Run(ArgumentCount, Arguments);
    }
    catch (const std::bad_alloc&)
    {
        return Fail("out of memory; nothing was written");
    }
    catch (const std::exception& Error)
    {
        return Fail(std::string(Error.what()) + "; nothing was written");
    }
}
