#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapters/zlg_channel.h"

class TVciApi;

// The ZLG adapter's device and its channels. The device is opened on the first
// channel opening and stays open to the end of the program, unless its adapter
// goes away: then the next opening of a channel closes it and opens it afresh.
// Every operation runs on the window's thread.
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
    // Empty while the channel works; otherwise what went wrong ("Adapter
    // lost", "Channel failed").
    std::string ChannelFault(int index) const;
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
    // Starts both threads; false with the error set, and nothing left
    // running, when a thread cannot start.
    bool StartThreads(TZlgChannel& channel);
    void StopThreads(TZlgChannel& channel);
    // Closes the device and opens it again, stopping and restarting the
    // channels still open on it. False, touching nothing, while one of those
    // still works: the device is not what failed.
    bool ReopenDevice(int opening);

    TVciApi& FVci;
    const int FChannelCount;
    const uint32_t FDevType = DeviceType;
    const uint32_t FDevIndex = DeviceIndex;
    bool FDeviceOpen = false;
    // A channel was closed while its adapter was lost: open the device afresh.
    bool FDeviceSuspect = false;
    std::string FLastError;
    std::vector<std::unique_ptr<TZlgChannel>> FChannels;
};
