#include "InstallConsts.h"

#include "SetupData.h"
#include "ZLibData.h"

const unsigned char* const ZLibImageAddress = ZLibImage;
const unsigned char* const StoredPacketAddress = StoredPacket;
