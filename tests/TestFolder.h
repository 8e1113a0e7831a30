// A fresh folder of the tests' own under the system's temporary directory, removed afterwards.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct TestFolder
{
    std::filesystem::path Path;

    TestFolder()
    {
        std::string Template = (std::filesystem::temp_directory_path() / "talvorin-test-XXXXXX").string();
        Path = mkdtemp(Template.data());
    }
    ~TestFolder()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(Path, Ignored);
    }
    std::string operator/(const std::string& Name) const { return (Path / Name).string(); }
    std::string WithSeparator() const { return Path.string() + "/"; }
};

inline std::string ReadFileText(const std::string& Path)
{
    std::ifstream File(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

inline void WriteFileText(const std::string& Path, const std::string& Text)
{
    std::ofstream(Path, std::ios::binary) << Text;
}
