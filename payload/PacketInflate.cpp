#include "PacketInflate.h"

#include "InstallConsts.h"
#include "Memory.h"
#include "UltraDecompress.h"
#include "ZLibBinding.h"

void ZLibErrorText(int32_t Result, std::string& Text)
{
    switch (Result)
    {
    case Z_ERRNO: Text = "General compression library failure"; break;
    case Z_STREAM_ERROR: Text = "Compression stream error"; break;
    case Z_DATA_ERROR: Text = "Compression data error"; break;
    case Z_MEM_ERROR: Text = "Compression memory error"; break;
    case Z_BUF_ERROR: Text = "Compression buffer error"; break;
    case Z_VERSION_ERROR: Text = "Compression library version error"; break;
    default: Text = "Compression library unknown error"; break;
    }
}

unsigned char* DecompressPacket(const unsigned char* Packet, int32_t& PacketSize, std::string& ErrorText)
{
    // A packet without room for its length field holds no stream at all.
    if (PacketSize < 4)
    {
        ZLibErrorText(Z_DATA_ERROR, ErrorText);
        return nullptr;
    }
    z_stream Stream;
    Stream.next_in = const_cast<unsigned char*>(Packet + 4);
    Stream.avail_in = uInt(PacketSize - 4);
    Stream.zalloc = nullptr;
    Stream.zfree = nullptr;
    Stream.opaque = nullptr;
    int Result = ZLibSlots::inflateInit_(&Stream, ZLibVersionText, int(sizeof Stream));
    if (Result < 0)
    {
        ZLibErrorText(Result, ErrorText);
        return nullptr;
    }
    const int32_t InflatedSize = int32_t(LoadLittleEndian32(Packet));
    // A negative length is a damaged packet, not a request for gigabytes.
    if (InflatedSize < 0)
    {
        ZLibSlots::inflateEnd(&Stream);
        ZLibErrorText(Z_DATA_ERROR, ErrorText);
        return nullptr;
    }
    auto* Block = static_cast<unsigned char*>(AllocateBlock(size_t(InflatedSize)));
    PacketSize = InflatedSize;
    Stream.next_out = Block;
    Stream.avail_out = uInt(InflatedSize);

    // One call for the whole stream. Only its end counts as success: a stream that stops short
    // of it (one that asks for a preset dictionary, say) has not filled the block.
    Result = ZLibSlots::inflate(&Stream, Z_FINISH);
    if (Result != Z_STREAM_END)
    {
        ZLibSlots::inflateEnd(&Stream);
        ReleaseBlock(Block);
        if (Result >= 0)
            Result = Result == Z_NEED_DICT ? Z_DATA_ERROR : Z_BUF_ERROR;
        ZLibErrorText(Result, ErrorText);
        return nullptr;
    }
    Result = ZLibSlots::inflateEnd(&Stream);
    if (Result < 0)
    {
        ReleaseBlock(Block);
        ZLibErrorText(Result, ErrorText);
        return nullptr;
    }
    return Block;
}
