#include "ZLibBinding.h"

HMODULE ZLibHandle = nullptr;

namespace ZLibSlots
{
InflateInitProcedure inflateInit_ = nullptr;
InflateProcedure inflate = nullptr;
InflateEndProcedure inflateEnd = nullptr;
}  // namespace ZLibSlots

const char* const MissingFunctionsText = "One or more functions are missing from the compression library.";

template <typename Procedure>
static Procedure LookUp(HMODULE Library, const char* Name)
{
    return reinterpret_cast<Procedure>(reinterpret_cast<void (*)()>(GetProcAddress(Library, Name)));
}

bool ResolveZLibEntryPoints(HMODULE Library)
{
    ZLibSlots::inflateInit_ = LookUp<ZLibSlots::InflateInitProcedure>(Library, "inflateInit_");
    ZLibSlots::inflate = LookUp<ZLibSlots::InflateProcedure>(Library, "inflate");
    ZLibSlots::inflateEnd = LookUp<ZLibSlots::InflateEndProcedure>(Library, "inflateEnd");
    return ZLibSlots::inflateInit_ != nullptr && ZLibSlots::inflate != nullptr && ZLibSlots::inflateEnd != nullptr;
}
