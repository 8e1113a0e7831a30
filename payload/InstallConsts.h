// The launcher's constants: the version text it gives the compression library, and the two
// references through which it reaches the stored items.
#pragma once

// zlib checks only the major version of the caller's text, so this serves every zlib 1.x.
inline constexpr char ZLibVersionText[] = "1.0.4";
extern const unsigned char* const ZLibImageAddress;
extern const unsigned char* const StoredPacketAddress;
