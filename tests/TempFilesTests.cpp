// Temporary paths, writing a block to a real file, and the system texts in the messages.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ErrorReport.h"
#include "TempFiles.h"
#include "TestFolder.h"

namespace
{
struct EnvironmentValue
{
    std::string Name;
    std::string Saved;
    bool Had;
    EnvironmentValue(const char* Variable, const char* Value) : Name(Variable)
    {
        const char* Old = std::getenv(Variable);
        Had = Old != nullptr;
        Saved = Had ? Old : "";
        if (Value != nullptr)
            setenv(Variable, Value, 1);
        else
            unsetenv(Variable);
    }
    ~EnvironmentValue()
    {
        if (Had)
            setenv(Name.c_str(), Saved.c_str(), 1);
        else
            unsetenv(Name.c_str());
    }
};

TEST(TrimSystemText, DropsTrailingPeriodsSpacesAndControlsOnly)
{
    struct Case
    {
        std::string Text;
        std::string Trimmed;
    };
    const Case Cases[] = {
        {"The system cannot find the file specified.\r\n", "The system cannot find the file specified"},
        {"Access denied. \t..\r\n  .", "Access denied"},
        {"Version 1.2 of a. b", "Version 1.2 of a. b"},
        {"Ends high \xE9", "Ends high \xE9"},
        {"Ends high \xE9.\r\n", "Ends high \xE9"},
        {". .\t\r\n\x01\x1F", ""},
        {"", ""},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(TrimSystemText(C.Text.data(), C.Text.size()), C.Trimmed) << C.Text;
}

TEST(SystemErrorText, GivesTheSystemsTextOrNothing)
{
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemErrorText(0), "Success");
    EXPECT_EQ(SystemErrorText(987654), "");
}

TEST(PrepareTempPaths, FormsTheThreePathsWithOneSeparator)
{
    struct Case
    {
        const char* TmpDir;
        std::string Dir;
    };
    const Case Cases[] = {
        {"/var/tmp", "/var/tmp/"},
        {"/var/tmp/", "/var/tmp/"},
        {"", "/tmp/"},
        {nullptr, "/tmp/"},
        {"/x", "/x/"},
    };
    for (const Case& C : Cases)
    {
        EnvironmentValue TmpDir("TMPDIR", C.TmpDir);
        ASSERT_TRUE(PrepareTempPaths()) << C.Dir;
        EXPECT_EQ(TempDir, C.Dir);
        EXPECT_EQ(ZLibPath, C.Dir + "zlib.dll");
        EXPECT_EQ(SetupExePath, C.Dir + "Talvorin_Setup.exe");
        EXPECT_EQ(SetupPakPath, C.Dir + "Talvorin_Setup.pak");
    }
}

TEST(PrepareTempPaths, RefusesADirectoryThatDoesNotFitTheRoom)
{
    // 259 characters with the separator still fit the 260 of room; one more does not.
    const std::string Fits = "/" + std::string(257, 'f');
    const std::string TooLong = "/" + std::string(259, 'f');
    {
        EnvironmentValue TmpDir("TMPDIR", Fits.c_str());
        ASSERT_TRUE(PrepareTempPaths());
        EXPECT_EQ(TempDir, Fits + "/");
    }
    EnvironmentValue TmpDir("TMPDIR", TooLong.c_str());
    EXPECT_FALSE(PrepareTempPaths());
}

TEST(WriteBufferToFile, WritesNewAndReplacesOldFiles)
{
    TestFolder Folder;
    std::string Text = "untouched";
    const std::string Path = Folder / "zlib.dll";
    for (const std::string& Content : {std::string("first content, longer"), std::string("second"), std::string()})
    {
        ASSERT_TRUE(WriteBufferToFile(Content.data(), int32_t(Content.size()), Path, Text));
        EXPECT_EQ(ReadFileText(Path), Content);
    }
    EXPECT_EQ(Text, "untouched");
    struct stat Status;
    ASSERT_EQ(stat(Path.c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mode & 0777, 0700u);
}

TEST(WriteBufferToFile, RefusesWhatIsNotAPlainFileOfOurOwn)
{
    struct Case
    {
        const char* Name;
        void (*Prepare)(const TestFolder&, const std::string&);
        const char* SystemText;
    };
    const Case Cases[] = {
        {"MissingFolder", [](const TestFolder&, const std::string&) {}, "No such file or directory"},
        {"SymbolicLink",
         [](const TestFolder& Folder, const std::string& Path) {
             WriteFileText(Folder / "target", "keep me");
             ASSERT_EQ(symlink((Folder / "target").c_str(), Path.c_str()), 0);
         },
         "Too many levels of symbolic links"},
        {"Fifo", [](const TestFolder&, const std::string& Path) { ASSERT_EQ(mkfifo(Path.c_str(), 0600), 0); },
         "No such device or address"},
        {"Directory", [](const TestFolder&, const std::string& Path) { ASSERT_EQ(mkdir(Path.c_str(), 0700), 0); },
         "Is a directory"},
        {"HardLink",
         [](const TestFolder& Folder, const std::string& Path) {
             WriteFileText(Folder / "target", "keep me");
             ASSERT_EQ(link((Folder / "target").c_str(), Path.c_str()), 0);
         },
         "Too many links"},
        {"OtherOwner",
         [](const TestFolder&, const std::string& Path) {
             WriteFileText(Path, "keep me");
             if (geteuid() != 0 || chown(Path.c_str(), 65534, 65534) != 0)
                 GTEST_SKIP() << "needs root to give a file away";
         },
         "Operation not permitted"},
    };
    for (const Case& C : Cases)
    {
        TestFolder Folder;
        const std::string Path = std::string(C.Name) == "MissingFolder" ? Folder / "missing/zlib.dll" : Folder / "zlib.dll";
        C.Prepare(Folder, Path);
        if (testing::Test::IsSkipped())
            continue;
        std::string Text = "before";
        const std::string Data = "new content";
        EXPECT_FALSE(WriteBufferToFile(Data.data(), int32_t(Data.size()), Path, Text)) << C.Name;
        EXPECT_EQ(Text, "Failed to create file: " + Path + "\r\n" + C.SystemText) << C.Name;
        if (std::filesystem::exists(Folder / "target"))
        {
            EXPECT_EQ(ReadFileText(Folder / "target"), "keep me") << C.Name;
        }
        if (std::string(C.Name) == "OtherOwner")
        {
            EXPECT_EQ(ReadFileText(Path), "keep me");
        }
    }
}

// The file size limit makes the system cut a write short, or refuse it, for real.
TEST(WriteBufferToFile, ShortOrFailedWriteGivesTheWriteMessage)
{
    TestFolder Folder;
    const std::string Path = Folder / "Talvorin_Setup.pak";
    const std::string Data(100, 'p');
    rlimit Saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Saved), 0);
    const auto OldHandler = signal(SIGXFSZ, SIG_IGN);
    struct Case
    {
        rlim_t Limit;
        std::string SystemText;
    };
    const Case Cases[] = {{10, ""}, {0, "File too large"}};
    for (const Case& C : Cases)
    {
        rlimit Limit = Saved;
        Limit.rlim_cur = C.Limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Limit), 0);
        std::string Text;
        errno = 0;
        const bool Wrote = WriteBufferToFile(Data.data(), int32_t(Data.size()), Path, Text);
        setrlimit(RLIMIT_FSIZE, &Saved);
        EXPECT_FALSE(Wrote);
        EXPECT_EQ(Text.rfind("Failed to write to file: " + Path + "\r\n", 0), 0u) << Text;
        if (!C.SystemText.empty())
        {
            EXPECT_EQ(Text, "Failed to write to file: " + Path + "\r\n" + C.SystemText);
        }
        EXPECT_EQ(ReadFileText(Path).size(), size_t(C.Limit)) << "the file is left as the write left it";
    }
    signal(SIGXFSZ, OldHandler);
}

TEST(DeleteFileWithRetry, RemovesFilesAndLinksButNotTheirTargets)
{
    TestFolder Folder;
    WriteFileText(Folder / "Talvorin_Setup.exe", "x");
    WriteFileText(Folder / "target", "keep me");
    ASSERT_EQ(symlink((Folder / "target").c_str(), (Folder / "zlib.dll").c_str()), 0);
    ASSERT_EQ(symlink((Folder / "nowhere").c_str(), (Folder / "Talvorin_Setup.pak").c_str()), 0);
    for (const char* Name : {"Talvorin_Setup.exe", "zlib.dll", "Talvorin_Setup.pak", "never-there"})
    {
        DeleteFileWithRetry(Folder / Name);
        EXPECT_FALSE(std::filesystem::is_symlink(Folder / Name)) << Name;
        EXPECT_FALSE(std::filesystem::exists(Folder / Name)) << Name;
    }
    EXPECT_EQ(ReadFileText(Folder / "target"), "keep me");
}
}  // namespace
