// The stored packet: a 4-byte little-endian InflatedSize, then one zlib stream of a "ucs1"
// block whose expansion is the setup program followed by its package file. Embedded from the
// packer's output when the launcher is built, with the sizes the packer wrote for it.
#pragma once
#include <cstdint>

extern "C" const unsigned char StoredPacket[];
extern "C" const int32_t PacketStoredSize;
// The size of the setup program: where the expanded output divides into the two files.
extern "C" const int32_t SetupSplitOffset;
