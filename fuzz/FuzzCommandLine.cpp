// Reading the launcher's command line and building the setup program's from it, on arbitrary
// command-line bytes. Whatever the line holds, reading stays inside it and every argument
// passed on is whole: no double quote, no more than MaxArgumentLength bytes, none empty, all
// taken in order from the line, and the setup program's line is the quoted setup program, the
// arguments one by one and the install switch with the launcher's own path.
//
// The input is the command line up to its first zero byte. Its length also picks the module
// path, so that the paths the launcher's room does and does not hold are both reached.
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "FuzzTarget.h"
#include "SetupProcess.h"
#include "TempFiles.h"

namespace
{
const std::string ModulePaths[] = {
    "/opt/launcher/Install",
    "/opt/Talvorin Setup/Install \xE9t\xE9",
    "/" + std::string(MAX_PATH - 1, 'm'),  // the longest path the launcher's room holds
    "/" + std::string(MAX_PATH, 'm'),      // one byte too long: passed on as an empty path
};

bool IsSubsequence(const std::string& Text, const char* Line, size_t& From)
{
    for (const char Character : Text)
    {
        while (Line[From] != '\0' && Line[From] != Character)
            ++From;
        if (Line[From] == '\0')
            return false;
        ++From;
    }
    return true;
}

void RequireWholeArgument(const std::string& Argument)
{
    FuzzRequire(Argument.find('"') == std::string::npos, "no argument holds a double quote");
    FuzzRequire(Argument.find('\0') == std::string::npos, "no argument holds a zero byte");
    FuzzRequire(Argument.size() <= MaxArgumentLength, "no argument is longer than MaxArgumentLength");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    std::unique_ptr<char[]> Line(new char[Size + 1]);
    if (Size != 0)
        std::memcpy(Line.get(), Data, Size);
    Line[Size] = '\0';
    const size_t LineLength = std::strlen(Line.get());
    Fake = FakeScript{};
    Fake.CommandLineBlock = Line.get();
    SetupExePath = "/tmp/talvorin/Talvorin_Setup.exe";
    Fake.ModulePath = ModulePaths[Size % (sizeof ModulePaths / sizeof ModulePaths[0])];
    const std::string ModulePath = Fake.ModulePath.size() <= MAX_PATH ? Fake.ModulePath : std::string();

    // The arguments as ReadArgument gives them, the program name first. An empty one ends the
    // list, and only the end of the line may give one: anything after it would be lost.
    std::vector<std::string> Arguments;
    size_t Position = 0;
    size_t From = 0;
    for (;;)
    {
        const size_t Before = Position;
        const std::string Argument = ReadArgument(Line.get(), Position);
        FuzzRequire(Position >= Before && Position <= LineLength, "reading stays inside the line");
        RequireWholeArgument(Argument);
        if (Argument.empty())
        {
            FuzzRequire(Position == LineLength, "only the end of the line gives an empty argument");
            break;
        }
        FuzzRequire(IsSubsequence(Argument, Line.get(), From), "the arguments are taken in order from the line");
        Arguments.push_back(Argument);
    }

    const int32_t Count = ArgumentCount();
    FuzzRequire(Count == (Arguments.empty() ? 0 : int32_t(Arguments.size()) - 1),
                "ArgumentCount counts the arguments after the program name");
    FuzzRequire(ArgumentAt(0) == ModulePath, "argument 0 is the module path, or nothing when it does not fit");
    // ArgumentAt reads from the start of the line each time; a few indices keep the target
    // linear, and the setup program's line below holds every one of them.
    for (const int32_t Index : {1, Count / 2, Count})
        if (Index >= 1 && Index <= Count)
            FuzzRequire(ArgumentAt(Index) == Arguments[size_t(Index)], "ArgumentAt reads as ReadArgument does");
    FuzzRequire(ArgumentAt(Count + 1).empty(), "there is nothing past the counted arguments");
    std::string Expected = "\"" + SetupExePath + "\"";
    for (size_t Index = 1; Index < Arguments.size(); ++Index)
        Expected += " " + Arguments[Index];
    const std::string Install = " /install=\"" + ModulePath + "\"";
    Expected += Install;

    const std::string Built = BuildSetupCommandLine(SetupExePath);
    FuzzRequire(Built.rfind("\"" + SetupExePath + "\"", 0) == 0, "the line starts with the quoted setup program");
    FuzzRequire(Built.size() >= Install.size() && Built.compare(Built.size() - Install.size(), Install.size(), Install) == 0,
                "the line ends with the install switch");
    FuzzRequire(Built == Expected, "the line passes every argument on, one by one");

    FakeEvents.clear();
    FuzzRequire(RunSetupProgram(), "the setup program is started and waited for");
    FuzzRequire(!FakeEvents.empty() && FakeEvents.front() == "CreateProcess " + Built,
                "the setup program is started with that line");
    return 0;
}
