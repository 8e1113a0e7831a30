// Reading the launcher's command line, the setup program's command line, starting and waiting,
// and the delete retries, against the scripted platform of FakePlatform.cpp.
#include <gtest/gtest.h>

#include "ErrorReport.h"
#include "FakePlatform.h"
#include "SetupProcess.h"
#include "TempFiles.h"

namespace
{
const std::string Install = " /install=\"/opt/launcher/Install\"";
const std::string SetupQuoted = "\"/tmp/t/Talvorin_Setup.exe\"";

std::string Pieces(const std::string& Argument)
{
    std::string Joined;
    for (size_t Start = 0; Start < Argument.size(); Start += MaxArgumentLength)
        Joined += " " + Argument.substr(Start, MaxArgumentLength);
    return Joined;
}

TEST(BuildSetupCommandLine, PassesTheLaunchersArgumentsAsTheyWereRead)
{
    struct Case
    {
        const char* Name;
        std::string LauncherLine;
        std::string SetupArguments;  // what stands between the quoted setup program and the switch
        int32_t Count;
    };
    const std::string Long4097(4097, 'a');
    const std::string Long8193(8193, 'b');
    const Case Cases[] = {
        {"NoArguments", "Install", "", 0},
        {"NoArgumentsTrailingSpace", "Install   ", "", 0},
        {"RunsOfSpacesAndTabs", "Install   a \t\t b\t", " a b", 2},
        {"QuotedWordsLoseTheirQuotes", "Install \"two words\" x", " two words x", 2},
        {"QuotesInsideAnArgument", "Install /dir=\"C:\\Program Files\\X\" /s", " /dir=C:\\Program Files\\X /s", 2},
        {"LonePairOfQuotesDropped", "Install \"\" a \"\" \"\" b", " a b", 2},
        {"BackslashBeforeAQuoteEscapesNothing", "Install a\\\"b c\" d", " a\\b c d", 2},
        {"QuotedProgramName", "\"C:\\Program Files\\Install.exe\" a", " a", 1},
        {"LoneQuoteAtTheEndEndsTheList", "Install a \"", " a", 1},
        {"ControlCharactersSeparate", "Install a\x01" "b\x1F" "c", " a b c", 3},
        {"BytesAbove127AreOrdinary", "Install \xE9t\xE9 \xFF\x80", " \xE9t\xE9 \xFF\x80", 2},
        {"Argument4097CutIntoPieces", "Install " + Long4097 + " z", Pieces(Long4097) + " z", 3},
        {"Argument8193CutIntoPieces", "Install " + Long8193, Pieces(Long8193), 3},
        {"QuotedStretchPastTheLimitLosesItsRest", "Install \"" + Long8193 + " tail\" next",
         " " + Long8193.substr(0, MaxArgumentLength) + " next", 2},
    };
    for (const Case& C : Cases)
    {
        Fake = FakeScript{};
        Fake.CommandLine = C.LauncherLine;
        EXPECT_EQ(ArgumentCount(), C.Count) << C.Name;
        EXPECT_EQ(BuildSetupCommandLine("/tmp/t/Talvorin_Setup.exe"), SetupQuoted + C.SetupArguments + Install) << C.Name;
    }
}

TEST(ArgumentAt, IndexZeroIsTheModulePathOrNothingWhenItDoesNotFit)
{
    Fake = FakeScript{};
    Fake.CommandLine = "relative\\name a";
    EXPECT_EQ(ArgumentAt(0), "/opt/launcher/Install");
    EXPECT_EQ(ArgumentAt(1), "a");
    EXPECT_EQ(ArgumentAt(2), "");
    EXPECT_EQ(ArgumentAt(7), "");
    Fake.ModulePath = std::string(260, 'm');
    EXPECT_EQ(ArgumentAt(0), Fake.ModulePath);
    Fake.ModulePath = std::string(261, 'm');
    EXPECT_EQ(ArgumentAt(0), "");
}

TEST(ReadArgument, StopsWhereTheArgumentEnds)
{
    const char* Line = "  \"\"  ab\"c d\"e  f";
    size_t Position = 0;
    EXPECT_EQ(ReadArgument(Line, Position), "abc de");
    EXPECT_EQ(Position, 14u);
    EXPECT_EQ(ReadArgument(Line, Position), "f");
    EXPECT_EQ(ReadArgument(Line, Position), "");
    EXPECT_EQ(Position, 17u);
}

struct RunCase
{
    const char* Name;
    void (*Prepare)(FakeScript&);
    bool Result;
    std::vector<std::string> Events;
};

TEST(RunSetupProgram, StartsWaitsAndClosesBothHandles)
{
    const std::string Start = "CreateProcess " + SetupQuoted + " a" + Install;
    const std::string Failed = "MessageBox Talvorin Setup 16 ";
    const RunCase Cases[] = {
        {"Ends", [](FakeScript&) {}, true,
         {Start, "SetLastError 0", "Wait process infinite", "CloseHandle process", "CloseHandle thread"}},
        {"CannotStart", [](FakeScript& F) { F.StartSucceeds = false; }, false,
         {Start, Failed + "Failed to execute program: /tmp/t/Talvorin_Setup.exe\r\ntext of 2"}},
        {"WaitFailsWithoutAnErrorCode", [](FakeScript& F) { F.WaitResult = WAIT_FAILED; }, false,
         {Start, "SetLastError 0", "Wait process infinite",
          Failed + "Failed to wait for setup process to complete: text of 0", "CloseHandle process",
          "CloseHandle thread"}},
        {"WaitAbandonedWithAnErrorCode",
         [](FakeScript& F) {
             F.WaitResult = 0x80;
             F.WaitSetsError = true;
             F.WaitError = 6;
         },
         false,
         {Start, "SetLastError 0", "Wait process infinite",
          Failed + "Failed to wait for setup process to complete: text of 6", "CloseHandle process",
          "CloseHandle thread"}},
    };
    SetupExePath = "/tmp/t/Talvorin_Setup.exe";
    for (const RunCase& C : Cases)
    {
        Fake = FakeScript{};
        Fake.CommandLine = "Install a";
        C.Prepare(Fake);
        FakeEvents.clear();
        EXPECT_EQ(RunSetupProgram(), C.Result) << C.Name;
        EXPECT_EQ(FakeEvents, C.Events) << C.Name;
    }
}

// As root nothing here stays undeletable, so the attempts are counted on the scripted platform.
TEST(DeleteFileWithRetry, AttemptsAndWaits)
{
    const std::vector<std::string> Attempt = {"GetFileAttributes", "DeleteFile", "Sleep 100"};
    std::vector<std::string> Hundred;
    for (int Index = 0; Index < 100; ++Index)
        Hundred.insert(Hundred.end(), Attempt.begin(), Attempt.end());
    std::vector<std::string> TwoThenGone = Attempt;
    TwoThenGone.insert(TwoThenGone.end(), Attempt.begin(), Attempt.end());
    TwoThenGone.push_back("GetFileAttributes");
    const RunCase Cases[] = {
        {"Missing", [](FakeScript& F) { F.QueriesBeforeGone = 0; }, true, {"GetFileAttributes"}},
        {"Deleted", [](FakeScript& F) { F.DeleteSucceeds = true; }, true, {"GetFileAttributes", "DeleteFile"}},
        {"NeverDeletable", [](FakeScript&) {}, true, Hundred},
        {"RemovedBySomebodyElse", [](FakeScript& F) { F.QueriesBeforeGone = 2; }, true, TwoThenGone},
    };
    for (const RunCase& C : Cases)
    {
        Fake = FakeScript{};
        C.Prepare(Fake);
        FakeEvents.clear();
        DeleteFileWithRetry("/tmp/t/zlib.dll");
        EXPECT_EQ(FakeEvents, C.Events) << C.Name;
    }
}

TEST(ShowError, OneErrorBoxWithTheCaptionAndNoOwner)
{
    FakeEvents.clear();
    ShowError("");
    ShowError("text");
    EXPECT_EQ(FakeEvents, (std::vector<std::string>{"MessageBox Talvorin Setup 16 ", "MessageBox Talvorin Setup 16 text"}));
}
}  // namespace
