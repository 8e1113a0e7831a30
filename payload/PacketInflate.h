// The inflate stage: the stored packet's zlib stream into one block of InflatedSize bytes, in one
// call of the carried library's inflate.
#pragma once
#include <cstdint>
#include <string>

// Inflates Packet (PacketSize bytes: the 4-byte InflatedSize, then the zlib stream). Returns a
// new block, with PacketSize set to its length; or null with ErrorText set, holding no block.
unsigned char* DecompressPacket(const unsigned char* Packet, int32_t& PacketSize, std::string& ErrorText);

// The message for a (negative) library result.
void ZLibErrorText(int32_t Result, std::string& Text);
