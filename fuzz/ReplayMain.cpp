// The main of a fuzz target built without libFuzzer: runs saved inputs through the target once
// each, so that the seeds and every input that once failed are tried in each test run, with
// any compiler. Arguments are folders (every regular file in them, in name order, README files
// excepted) or single files. A broken property or a sanitizer report stops the program on the
// input named last.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "FuzzTarget.h"

namespace
{
namespace fs = std::filesystem;

bool IsReadme(const fs::path& File)
{
    return File.filename().string().rfind("README", 0) == 0;
}

// The inputs an argument names; false when it names neither a folder nor a file.
bool CollectInputs(const fs::path& Argument, std::vector<fs::path>& Inputs)
{
    std::error_code Error;
    if (fs::is_directory(Argument, Error))
    {
        std::vector<fs::path> Found;
        for (const fs::directory_entry& Entry : fs::directory_iterator(Argument, Error))
            if (Entry.is_regular_file(Error) && !IsReadme(Entry.path()))
                Found.push_back(Entry.path());
        std::sort(Found.begin(), Found.end());
        Inputs.insert(Inputs.end(), Found.begin(), Found.end());
        return !Error;
    }
    if (fs::is_regular_file(Argument, Error))
    {
        Inputs.push_back(Argument);
        return true;
    }
    return false;
}
}  // namespace

int main(int ArgumentCount, char** Arguments)
{
    if (ArgumentCount < 2)
    {
        std::fprintf(stderr, "usage: %s FOLDER_OR_FILE...\n", Arguments[0]);
        return 2;
    }
    std::vector<fs::path> Inputs;
    for (int Index = 1; Index < ArgumentCount; ++Index)
        if (!CollectInputs(Arguments[Index], Inputs))
        {
            std::fprintf(stderr, "%s: no such folder or file\n", Arguments[Index]);
            return 2;
        }
    for (const fs::path& Input : Inputs)
    {
        std::printf("replaying %s\n", Input.string().c_str());
        std::fflush(stdout);
        std::ifstream File(Input, std::ios::binary);
        if (!File.is_open())
        {
            std::fprintf(stderr, "%s: cannot read\n", Input.string().c_str());
            return 2;
        }
        const std::vector<char> Bytes((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size());
    }
    std::printf("%zu inputs replayed without a fault\n", Inputs.size());
    return 0;
}
