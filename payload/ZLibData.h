// The compression library that the launcher carries: a zlib dynamic library for the target,
// byte for byte, embedded when the launcher is built.
#pragma once
#include <cstdint>

extern "C" const unsigned char ZLibImage[];
extern "C" const int32_t ZLibImageSize;
