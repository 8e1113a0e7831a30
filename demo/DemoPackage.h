// The demo package file: deterministic content of the kinds a real package mixes (text, tables,
// noise that does not compress, and stretches that repeat far apart), closed by a checksum so
// that the demo setup program can tell an intact package from a damaged one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<unsigned char> MakeDemoPackage(size_t Size);

// True when the last four bytes are the FNV-1a hash of everything before them.
bool CheckDemoPackage(const unsigned char* Data, size_t Size);
