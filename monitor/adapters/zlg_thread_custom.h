#pragma once

#include <cstdint>

#include "adapters/channel_custom_thread.h"

class TVciApi;

// Common base of the ZLG adapter's channel threads: the library to call and
// the device type, device index and channel index of every call.
class TZlgThreadCustom : public TChannelCustomThread {
public:
    TZlgThreadCustom(TVciApi& vci, uint32_t devType, uint32_t devIndex, uint32_t canIndex)
        : FVci(vci), FDevType(devType), FDevIndex(devIndex), FCanIndex(canIndex) {}

protected:
    TVciApi& FVci;
    const uint32_t FDevType;
    const uint32_t FDevIndex;
    const uint32_t FCanIndex;
};
