#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapters/zlg_channel.h"

class TVciApi;

// The ZLG adapter's device and its channels. The device is opened on the first
// channel opening and stays open to the end of the program. Every operation
// runs on the window's thread.
class TZlgManager {
public:
    TZlgManager(int channelCount, TVciApi& vci);

    // None when the index is out of range.
    TZlgChannel* GetChannel(int index);
    // True when the channel is open afterwards; otherwise GetLastError() says why.
    bool OpenChannel(int index);
    // Stops the channel's threads; the device stays open.
    void CloseChannel(int index);
    bool IsChannelOpen(int index) const;
    // The controller's latest status; not Valid while closed or before the
    // adapter first answered.
    TControllerStatus ControllerStatus(int index) const;
    bool OpenDevice();
    void SetError(const std::string& text) { FLastError = text; }
    const std::string& GetLastError() const { return FLastError; }

    static constexpr uint32_t DeviceType = 4;
    static constexpr uint32_t DeviceIndex = 0;
    // Stop waits this long for each thread before destruction waits for good.
    static constexpr uint32_t StopTimeoutMs = 500;

private:
    bool IsValidIndex(int index) const { return index >= 0 && index < FChannelCount; }
    bool InitAndStart(int index);
    void StartThreads(TZlgChannel& channel);

    TVciApi& FVci;
    const int FChannelCount;
    const uint32_t FDevType = DeviceType;
    const uint32_t FDevIndex = DeviceIndex;
    bool FDeviceOpen = false;
    std::string FLastError;
    std::vector<std::unique_ptr<TZlgChannel>> FChannels;
};
