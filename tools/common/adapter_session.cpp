#include "adapter_session.h"

#include "adapters/zlg_bit_timing.h"
#include "ulmar.h"

namespace ulmar_tools {
bool isSupportedBitRate(std::int32_t bitRate) {
    // No rate of the table has the pair 0x00, 0x00 that stands for "none".
    const TZlgBitTiming timing = ZlgBitTimingFor(bitRate);
    return timing.Btr0 != 0 || timing.Btr1 != 0;
}

AdapterSession::~AdapterSession() {
    for (std::uint32_t channel : started_) {
        if (use_ == Use::Receive)
            VCI_ResetCAN(kDeviceType, device_, channel);
    }
    if (open_)
        VCI_CloseDevice(kDeviceType, device_);
}

bool AdapterSession::open(std::uint32_t deviceIndex, std::string& error) {
    device_ = deviceIndex;
    if (VCI_OpenDevice(kDeviceType, deviceIndex, 0) != 1) {
        error = "cannot open adapter " + std::to_string(deviceIndex);
        return false;
    }
    open_ = true;
    return true;
}

bool AdapterSession::startChannel(std::uint32_t channel, std::int32_t bitRate, bool listenOnly,
                                  std::string& error) {
    VciInitConfig config{};
    config.acceptCode = 0;
    config.acceptMask = 0xFFFFFFFF;
    SetBitTiming(bitRate, config);
    config.busMode = listenOnly ? kListenOnlyMode : 0;
    // Frames left from an earlier user would carry stale stamps.
    const bool clear = use_ == Use::Receive;
    if (VCI_InitCAN(kDeviceType, device_, channel, &config) != 1 ||
        (clear && VCI_ClearBuffer(kDeviceType, device_, channel) != 1) ||
        VCI_StartCAN(kDeviceType, device_, channel) != 1) {
        error = "cannot start channel " + std::to_string(channel) + " of adapter " +
                std::to_string(device_);
        return false;
    }
    started_.push_back(channel);
    return true;
}

} // namespace ulmar_tools
