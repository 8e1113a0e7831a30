// The real launcher as a process: real payloads, real files in a temporary directory of the
// test's own, a real setup program. On POSIX the error box is a line on standard error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "TestFolder.h"

namespace
{
const std::string LauncherDir = TALVORIN_LAUNCHER_DIR;

struct LauncherRun
{
    int ExitStatus;
    std::string Errors;
};

struct RunOptions
{
    std::string TempDir;
    std::string WorkDir = LauncherDir;
    std::map<std::string, std::string> Environment;
    rlim_t AddressSpaceLimit = 0;
};

LauncherRun RunLauncher(const std::string& Program, const std::vector<std::string>& Arguments, const RunOptions& Options)
{
    int Pipe[2];
    EXPECT_EQ(pipe2(Pipe, O_CLOEXEC), 0);
    const pid_t Child = fork();
    if (Child == 0)
    {
        dup2(Pipe[1], STDERR_FILENO);
        // A descriptor the launcher inherits and must not hand on to the setup program.
        (void)!open("/dev/null", O_RDONLY);
        if (chdir(Options.WorkDir.c_str()) != 0)
            _exit(120);
        setenv("TMPDIR", Options.TempDir.c_str(), 1);
        for (const auto& [Name, Value] : Options.Environment)
            setenv(Name.c_str(), Value.c_str(), 1);
        // The launcher is this process once it is started: the probe can look at its mappings.
        setenv("TALVORIN_PROBE_MAPS", ("/proc/" + std::to_string(getpid()) + "/maps").c_str(), 1);
        if (Options.AddressSpaceLimit != 0)
        {
            const rlimit Limit{Options.AddressSpaceLimit, Options.AddressSpaceLimit};
            setrlimit(RLIMIT_AS, &Limit);
        }
        std::vector<char*> Argv{const_cast<char*>(Program.c_str())};
        for (const std::string& Argument : Arguments)
            Argv.push_back(const_cast<char*>(Argument.c_str()));
        Argv.push_back(nullptr);
        execv(Program.c_str(), Argv.data());
        _exit(121);
    }
    close(Pipe[1]);
    LauncherRun Run{-1, ""};
    char Chunk[4096];
    ssize_t Count;
    while ((Count = read(Pipe[0], Chunk, sizeof Chunk)) > 0)
        Run.Errors.append(Chunk, size_t(Count));
    close(Pipe[0]);
    int Status = 0;
    waitpid(Child, &Status, 0);
    Run.ExitStatus = WIFEXITED(Status) ? WEXITSTATUS(Status) : 1000 + WTERMSIG(Status);
    return Run;
}

std::set<std::string> NamesIn(const TestFolder& Folder)
{
    std::set<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder.Path))
        Names.insert(Entry.path().filename().string());
    return Names;
}

std::map<std::string, std::string> ReadRecord(const std::string& Path)
{
    std::map<std::string, std::string> Record;
    std::istringstream Lines(ReadFileText(Path));
    std::string Line;
    while (std::getline(Lines, Line))
    {
        const size_t Equals = Line.find('=');
        Record[Line.substr(0, Equals)] = Line.substr(Equals + 1);
    }
    return Record;
}

std::string Launcher(const char* Name)
{
    return LauncherDir + "/" + Name;
}

void Link(const TestFolder& Folder, const char* Name)
{
    WriteFileText(Folder / "target", "keep me");
    ASSERT_EQ(symlink((Folder / "target").c_str(), (Folder / Name).c_str()), 0);
}

TEST(LauncherProcess, RunsTheSetupProgramWithItsArgumentsAndLeavesNothing)
{
    TestFolder Temp, Work, Records;
    RunOptions Options;
    Options.TempDir = Temp.Path.string();
    Options.WorkDir = Work.Path.string();
    Options.Environment = {{"TALVORIN_PROBE_RECORD", Records / "probe"}, {"TALVORIN_PROBE_EXIT", "7"}};
    const LauncherRun Run = RunLauncher(Launcher("ProbeLauncher"), {"a", "b c", "", "x\ty", "\xE9t\xE9"}, Options);
    EXPECT_EQ(Run.ExitStatus, 0);
    EXPECT_EQ(Run.Errors, "");
    EXPECT_TRUE(NamesIn(Temp).empty());

    const auto Record = ReadRecord(Records / "probe");
    // The quoted "b c" and the tab are read by the launcher as one argument each and passed on
    // unquoted, so the setup program sees their words apart; the empty argument is dropped.
    const std::vector<std::string> Expected = {Temp / "Talvorin_Setup.exe", "a", "b", "c", "x", "y", "\xE9t\xE9",
                                               "/install=" + Launcher("ProbeLauncher")};
    ASSERT_EQ(Record.at("argc"), std::to_string(Expected.size()));
    for (size_t Index = 0; Index < Expected.size(); ++Index)
        EXPECT_EQ(Record.at("arg" + std::to_string(Index)), Expected[Index]) << Index;
    EXPECT_EQ(Record.at("cwd"), Work.Path.string());
    EXPECT_EQ(Record.at("size zlib.dll"), std::to_string(std::filesystem::file_size(TALVORIN_ZLIB_IMAGE_FILE)));
    EXPECT_EQ(Record.at("size Talvorin_Setup.exe"), std::to_string(std::filesystem::file_size(LauncherDir + "/ProbeSetup")));
    EXPECT_EQ(Record.at("size Talvorin_Setup.pak"), "300000");
    EXPECT_EQ(Record.at("library loaded"), "1");
    EXPECT_EQ(Record.at("descriptors"), "0,1,2") << "nothing beyond standard input, output and error";
}

TEST(LauncherProcess, InstallSwitchNamesTheFullPathWhenStartedByARelativeName)
{
    TestFolder Temp, Records;
    RunOptions Options;
    Options.TempDir = Temp.Path.string();
    Options.Environment = {{"TALVORIN_PROBE_RECORD", Records / "probe"}};
    const LauncherRun Run = RunLauncher("./ProbeLauncher", {}, Options);
    EXPECT_EQ(Run.ExitStatus, 0);
    const auto Record = ReadRecord(Records / "probe");
    EXPECT_EQ(Record.at("argc"), "2");
    EXPECT_EQ(Record.at("arg1"), "/install=" + Launcher("ProbeLauncher"));
    EXPECT_TRUE(NamesIn(Temp).empty());
}

struct FailureCase
{
    const char* Name;
    const char* Launcher;
    void (*Prepare)(const TestFolder&);
    std::string (*Message)(const TestFolder&);  // the whole message, or its start when SystemTextFollows
    bool SystemTextFollows;
    std::set<std::string> Left;
};

void PrintTo(const FailureCase& Case, std::ostream* Stream)
{
    *Stream << Case.Name;
}

void Nothing(const TestFolder&)
{
}

class LauncherFailure : public testing::TestWithParam<FailureCase>
{
};

TEST_P(LauncherFailure, ShowsItsMessageCleansUpAndExitsZero)
{
    const FailureCase& C = GetParam();
    TestFolder Temp;
    C.Prepare(Temp);
    RunOptions Options;
    Options.TempDir = Temp.Path.string();
    const LauncherRun Run = RunLauncher(Launcher(C.Launcher), {"/silent"}, Options);
    EXPECT_EQ(Run.ExitStatus, 0);
    const std::string Box = "Talvorin Setup: error: " + C.Message(Temp);
    if (C.SystemTextFollows)
    {
        EXPECT_EQ(Run.Errors.rfind(Box, 0), 0u) << Run.Errors;
        EXPECT_GT(Run.Errors.size(), Box.size() + 1) << "the system text is missing";
    }
    else
    {
        EXPECT_EQ(Run.Errors, Box + "\n");
    }
    EXPECT_EQ(NamesIn(Temp), C.Left);
}

const FailureCase FailureCases[] = {
    {"LibraryFileIsALink", "ProbeLauncher",
     [](const TestFolder& T) {
         Link(T, "zlib.dll");
         // What an earlier run left goes too, although this run never writes it.
         WriteFileText(T / "Talvorin_Setup.exe", "old");
         WriteFileText(T / "Talvorin_Setup.pak", "old");
     },
     [](const TestFolder& T) {
         return "Failed to create file: " + (T / "zlib.dll") + "\r\nToo many levels of symbolic links";
     },
     false, {"target"}},
    {"LibraryIsNoLibrary", "NotALibraryLauncher", Nothing,
     [](const TestFolder& T) { return "Failed to load library: " + (T / "zlib.dll") + "\r\n"; }, true, {}},
    {"LibraryLacksAnEntryPoint", "LackingExportLauncher", Nothing,
     [](const TestFolder&) { return std::string("One or more functions are missing from the compression library."); },
     false, {}},
    {"StreamFailsItsChecksum", "Damaged-adlerLauncher", Nothing,
     [](const TestFolder&) { return std::string("Failed to decompress packet: Compression data error"); }, false, {}},
    {"WrongSignature", "Damaged-signatureLauncher", Nothing,
     [](const TestFolder&) { return std::string("Failed to expand packet: Compressed data has an invalid signature"); },
     false, {}},
    {"OutputShorterThanTheSetupProgram", "Damaged-splitLauncher", Nothing,
     [](const TestFolder&) {
         return std::string("Failed to expand packet: Expanded data is shorter than the setup program");
     },
     false, {}},
    {"SetupProgramFileIsALink", "ProbeLauncher", [](const TestFolder& T) { Link(T, "Talvorin_Setup.exe"); },
     [](const TestFolder& T) {
         return "Failed to create file: " + (T / "Talvorin_Setup.exe") + "\r\nToo many levels of symbolic links";
     },
     false, {"target"}},
    {"PackageFileIsALink", "ProbeLauncher", [](const TestFolder& T) { Link(T, "Talvorin_Setup.pak"); },
     [](const TestFolder& T) {
         return "Failed to create file: " + (T / "Talvorin_Setup.pak") + "\r\nToo many levels of symbolic links";
     },
     false, {"target"}},
    {"SetupProgramCannotStart", "NotAProgramLauncher", Nothing,
     [](const TestFolder& T) {
         return "Failed to execute program: " + (T / "Talvorin_Setup.exe") + "\r\nExec format error";
     },
     false, {}},
};

INSTANTIATE_TEST_SUITE_P(WaysOut, LauncherFailure, testing::ValuesIn(FailureCases),
                         [](const testing::TestParamInfo<FailureCase>& Info) { return std::string(Info.param.Name); });

// Many runs in a row through one temporary directory, every way out that a payload or the
// setup program can produce among them: nothing of any run stays behind.
TEST(LauncherProcess, RepeatedRunsLeaveNothingBehind)
{
    TestFolder Temp, Records;
    RunOptions Options;
    Options.TempDir = Temp.Path.string();
    Options.Environment = {{"TALVORIN_PROBE_RECORD", Records / "probe"}, {"TALVORIN_PROBE_EXIT", "3"}};
    const char* const Launchers[] = {"ProbeLauncher",         "NotALibraryLauncher",       "LackingExportLauncher",
                                     "Damaged-adlerLauncher", "Damaged-signatureLauncher", "Damaged-splitLauncher",
                                     "NotAProgramLauncher"};
    int Messages = 0;
    for (int Round = 0; Round < 4; ++Round)
        for (const char* Name : Launchers)
        {
            const LauncherRun Run = RunLauncher(Launcher(Name), {"/round", std::to_string(Round)}, Options);
            ASSERT_EQ(Run.ExitStatus, 0) << Name;
            Messages += Run.Errors.empty() ? 0 : 1;
            ASSERT_TRUE(NamesIn(Temp).empty()) << Name << " left files behind in round " << Round;
        }
    EXPECT_EQ(Messages, 4 * 6) << "one message for every failing run, none for the good ones";
    EXPECT_EQ(ReadRecord(Records / "probe").at("arg2"), "3");
}

TEST(LauncherProcess, NoTemporaryDirectoryTouchesNothing)
{
    RunOptions Options;
    Options.TempDir = "/" + std::string(300, 'd');
    const LauncherRun Run = RunLauncher(Launcher("ProbeLauncher"), {}, Options);
    EXPECT_EQ(Run.ExitStatus, 0);
    EXPECT_EQ(Run.Errors, "Talvorin Setup: error: Failed to determine location of temporary directory.\n");
}

TEST(LauncherProcess, ExhaustedMemoryStopsAtOnceWith203)
{
#if defined(TALVORIN_SANITIZED)
    GTEST_SKIP() << "the sanitizers reserve more address space than any limit that would show this";
#endif
    TestFolder Temp;
    RunOptions Options;
    Options.TempDir = Temp.Path.string();
    // Room for the process and its library, not for the gigabyte the packet expands to.
    Options.AddressSpaceLimit = rlim_t(256) << 20;
    const LauncherRun Run = RunLauncher(Launcher("Damaged-hugeLauncher"), {}, Options);
    EXPECT_EQ(Run.ExitStatus, 203);
    EXPECT_EQ(Run.Errors, "Talvorin Setup: Setup cannot continue: the system is out of memory.\n");
    EXPECT_EQ(NamesIn(Temp), std::set<std::string>{"zlib.dll"}) << "no cleanup runs";
}
}  // namespace
