// Binding the carried zlib at run time: the launcher never links it. The three entry points
// that the inflate stage calls are kept in slots named after the exports.
#pragma once
#include "Platform.h"
#include <zlib.h>

extern HMODULE ZLibHandle;

namespace ZLibSlots
{
using InflateInitProcedure = int(ZEXPORT*)(z_streamp Stream, const char* Version, int StreamSize);
using InflateProcedure = int(ZEXPORT*)(z_streamp Stream, int Flush);
using InflateEndProcedure = int(ZEXPORT*)(z_streamp Stream);

extern InflateInitProcedure inflateInit_;
extern InflateProcedure inflate;
extern InflateEndProcedure inflateEnd;
}  // namespace ZLibSlots

// Looks up "inflateInit_", "inflate" and "inflateEnd", in that order, all three before any is
// tested. True when all three were found.
bool ResolveZLibEntryPoints(HMODULE Library);

extern const char* const MissingFunctionsText;
