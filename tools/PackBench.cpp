// Measures what the packer's choices gain on a corpus (tools/MakeCorpus.sh makes one):
//
//   PackBench SETUP_PROGRAM PACKAGE_FILE [--variants]
//
// prints, for deflate alone and for the encoder as tuned, the block and stored sizes and the
// times; with --variants also for each choice of Ucs1EncoderTuning switched off or changed, which
// is where the table in tools/ENCODER.md comes from. Every packet is checked the way PackSetup
// checks it.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FileAccess.h"
#include "PacketFile.h"

namespace
{

struct Variant
{
    std::string Name;
    Ucs1EncoderTuning Tuning;
};

std::vector<Variant> Variants(bool All)
{
    std::vector<Variant> List;
    List.push_back({"as tuned", Ucs1EncoderTuning{}});
    if (!All)
        return List;
    const auto Add = [&List](const std::string& Name, auto Change) {
        Ucs1EncoderTuning Tuning;
        Change(Tuning);
        List.push_back({Name, Tuning});
    };
    Add("no deflate model (every repeat >= MinLength)", [](Ucs1EncoderTuning& T) { T.ModelDeflate = false; });
    Add("no lazy matching", [](Ucs1EncoderTuning& T) { T.LazyMatching = false; });
    Add("no backward growth", [](Ucs1EncoderTuning& T) { T.ExtendBackwards = false; });
    Add("no run following", [](Ucs1EncoderTuning& T) { T.FollowRuns = false; });
    for (const uint32_t Length : {16u, 24u, 32u, 48u, 64u, 128u})
        Add("MinLength " + std::to_string(Length), [Length](Ucs1EncoderTuning& T) { T.MinLength = Length; });
    Add("MinLength 16, every position an anchor", [](Ucs1EncoderTuning& T) {
        T.MinLength = 16;
        T.AnchorSpacing = 1;
    });
    for (const uint32_t Spacing : {1u, 4u, 16u, 24u})
        Add("AnchorSpacing " + std::to_string(Spacing), [Spacing](Ucs1EncoderTuning& T) { T.AnchorSpacing = Spacing; });
    for (const uint32_t Steps : {4u, 8u, 64u})
        Add("MaxChainSteps " + std::to_string(Steps), [Steps](Ucs1EncoderTuning& T) { T.MaxChainSteps = Steps; });
    for (const double Bits : {2.0, 6.0})
        Add("UnmatchedByteBits " + std::to_string(Bits).substr(0, 3),
            [Bits](Ucs1EncoderTuning& T) { T.UnmatchedByteBits = Bits; });
    for (const double Bits : {4.0, 20.0})
        Add("MatchBits " + std::to_string(Bits).substr(0, 4), [Bits](Ucs1EncoderTuning& T) { T.MatchBits = Bits; });
    Add("TokenByteBits 10", [](Ucs1EncoderTuning& T) { T.TokenByteBits = 10; });
    for (const uint32_t Window : {16384u, 65536u})
        Add("DeflateWindow " + std::to_string(Window), [Window](Ucs1EncoderTuning& T) { T.DeflateWindow = Window; });
    return List;
}

double SecondsSince(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

} // namespace

int main(int ArgumentCount, char** Arguments)
{
    if (ArgumentCount < 3)
    {
        std::fprintf(stderr, "usage: PackBench SETUP_PROGRAM PACKAGE_FILE [--variants]\n");
        return 2;
    }
    const bool All = ArgumentCount > 3 && std::strcmp(Arguments[3], "--variants") == 0;
    std::string ErrorText;
    std::vector<unsigned char> Expanded, Package;
    if (!ReadWholeFile(Arguments[1], Expanded, ErrorText) || !ReadWholeFile(Arguments[2], Package, ErrorText))
    {
        std::fprintf(stderr, "PackBench: %s\n", ErrorText.c_str());
        return 1;
    }
    Expanded.insert(Expanded.end(), Package.begin(), Package.end());
    std::printf("input: %zu bytes\n\n", Expanded.size());

    std::printf("| what | ucs1 block | stored | encode s | deflate s | check s |\n");
    std::printf("| --- | ---: | ---: | ---: | ---: | ---: |\n");
    {
        const auto Start = std::chrono::steady_clock::now();
        std::vector<unsigned char> Stored;
        if (!DeflateBlock(Expanded, Stored, ErrorText))
        {
            std::fprintf(stderr, "PackBench: %s\n", ErrorText.c_str());
            return 1;
        }
        std::printf("| deflate alone (libdeflate 12) | - | %zu | - | %.2f | - |\n", Stored.size(),
                    SecondsSince(Start));
        std::fflush(stdout);
    }
    for (const Variant& Each : Variants(All))
    {
        std::vector<unsigned char> Stored;
        PackFigures Figures;
        if (!PackExpandedOutput(Expanded, Stored, Figures, ErrorText, nullptr, Each.Tuning))
        {
            std::fprintf(stderr, "PackBench: %s: %s\n", Each.Name.c_str(), ErrorText.c_str());
            return 1;
        }
        std::printf("| %s | %zu | %zu | %.2f | %.2f | %.2f |\n", Each.Name.c_str(), Figures.InflatedSize,
                    Figures.StoredSize, Figures.EncodeSeconds, Figures.DeflateSeconds, Figures.VerifySeconds);
        std::fflush(stdout);
    }
    return 0;
}
