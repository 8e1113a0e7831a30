#include "InstallConsts.h"

#include "SetupData.h"
#include "ZLibData.h"

// zlib checks only the major version of the caller's text, so this serves every zlib 1.x.
const char ZLibVersionText[] = "1.0.4";
const unsigned char* const ZLibImageAddress = ZLibImage;
const unsigned char* const StoredPacketAddress = StoredPacket;
