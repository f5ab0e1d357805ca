#include "adapters/zlg_manager.h"

#include "adapters/vci_api.h"
#include "adapters/zlg_bit_timing.h"

#include <exception>

namespace {

constexpr int32_t VciOk = 1;
constexpr int32_t VciNotFound = -1; // all ones

} // namespace

TZlgManager::TZlgManager(int channelCount, TVciApi& vci) : FVci(vci), FChannelCount(channelCount) {
    for (int i = 0; i < FChannelCount; ++i) {
        FChannels.push_back(std::make_unique<TZlgChannel>(i));
    }
}

TZlgChannel* TZlgManager::GetChannel(int index) {
    return IsValidIndex(index) ? FChannels[static_cast<size_t>(index)].get() : nullptr;
}

bool TZlgManager::IsChannelOpen(int index) const {
    return IsValidIndex(index) && FChannels[static_cast<size_t>(index)]->FOpened;
}

bool TZlgManager::OpenDevice() {
    const int32_t result = FVci.OpenDevice(FDevType, FDevIndex, 0);
    FDeviceOpen = result == VciOk;
    if (!FDeviceOpen) {
        SetError(result == VciNotFound ? "Device not found" : "Opening device if failed");
    }
    return FDeviceOpen;
}

std::string TZlgManager::ChannelFault(int index) const {
    if (!IsChannelOpen(index)) {
        return {};
    }
    const TZlgChannel& channel = *FChannels[static_cast<size_t>(index)];
    if ((channel.FReadThread && channel.FReadThread->Failed()) ||
        (channel.FSendThread && channel.FSendThread->Failed())) {
        return "Channel failed";
    }
    if (channel.FReadThread && channel.FReadThread->AdapterLost()) {
        return "Adapter lost";
    }
    return {};
}

bool TZlgManager::OpenChannel(int index) {
    if (!IsValidIndex(index)) {
        SetError("Channel index is out of range");
        return false;
    }
    if (!FDeviceOpen && !OpenDevice()) {
        return false;
    }
    TZlgChannel& channel = *FChannels[static_cast<size_t>(index)];
    if (channel.FOpened) {
        return true;
    }
    if (FDeviceSuspect && !ReopenDevice(index) && !FDeviceOpen) {
        return false;
    }
    if (!InitAndStart(index)) {
        // The adapter may have gone and come back while no channel watched
        // it: its old pipes are dead, a fresh open finds it again.
        const std::string error = FLastError;
        if (!ReopenDevice(index)) {
            if (FDeviceOpen) {
                SetError(error);
            }
            return false;
        }
        if (!InitAndStart(index)) {
            return false;
        }
    }
    if (!StartThreads(channel)) {
        return false;
    }
    channel.FOpened = true;
    return true;
}

bool TZlgManager::ReopenDevice(int opening) {
    std::vector<int> restart;
    for (int i = 0; i < FChannelCount; ++i) {
        if (i != opening && IsChannelOpen(i)) {
            if (ChannelFault(i).empty()) {
                return false;
            }
            restart.push_back(i);
        }
    }
    for (int i : restart) {
        CloseChannel(i);
    }
    FVci.CloseDevice(FDevType, FDevIndex);
    FDeviceOpen = false;
    FDeviceSuspect = false;
    if (!OpenDevice()) {
        return false;
    }
    for (int i : restart) {
        TZlgChannel& channel = *FChannels[static_cast<size_t>(i)];
        if (InitAndStart(i) && StartThreads(channel)) {
            channel.FOpened = true;
            channel.Logger().Add("** Channel reopened with the adapter");
        }
    }
    return true;
}

bool TZlgManager::InitAndStart(int index) {
    const auto canIndex = static_cast<uint32_t>(index);
    VciInitConfig config{};
    config.acceptCode = 0;
    config.acceptMask = 0xFFFFFFFF;
    config.busMode = 0;
    // The mode plays no part: the channel receives both frame formats.
    SetBitTiming(FChannels[static_cast<size_t>(index)]->Settings().Rate, config);
    if (FVci.InitCAN(FDevType, FDevIndex, canIndex, &config) != VciOk) {
        SetError("Channel initialization is failed");
        return false;
    }
    if (FVci.StartCAN(FDevType, FDevIndex, canIndex) != VciOk) {
        SetError("Channel start is failed");
        return false;
    }
    return true;
}

bool TZlgManager::StartThreads(TZlgChannel& channel) {
    const auto canIndex = static_cast<uint32_t>(channel.FIndex);

    // Frames queued while the channel was closed are not sent. Cleared before
    // the receive thread starts, so that answers it queues to the first remote
    // frames of this opening are not thrown away with them.
    channel.ClearSendQueue();
    channel.BusCounters().Reset();

    try {
        channel.FReadThread.reset();
        auto reader = std::make_unique<TZlgThreadRead>(FVci, FDevType, FDevIndex, canIndex);
        reader->FLogger = &channel.Logger();
        reader->FTraceList = &channel.TraceList();
        reader->FFrameTable = &channel.FrameTable();
        reader->FSendList = &channel.SendList();
        reader->FBusCounters = &channel.BusCounters();
        channel.FReadThread = std::move(reader);
        channel.FReadThread->Start();

        channel.FSendThread.reset();
        auto sender = std::make_unique<TZlgThreadSend>(FVci, FDevType, FDevIndex, canIndex);
        sender->FSendQueue = &channel.SendQueue();
        sender->FLogger = &channel.Logger();
        sender->FTraceList = &channel.TraceList();
        sender->FBusCounters = &channel.BusCounters();
        channel.FSendThread = std::move(sender);
        channel.FSendThread->Start();

        channel.FStatusThread.reset();
        channel.FStatusThread =
            std::make_unique<TZlgThreadStatus>(FVci, FDevType, FDevIndex, canIndex);
        channel.FStatusThread->Start();
    } catch (const std::exception& e) {
        // Whatever did start is stopped again: a closed channel runs nothing.
        StopThreads(channel);
        SetError(std::string("Channel threads cannot start: ") + e.what());
        return false;
    }
    return true;
}

TControllerStatus TZlgManager::ControllerStatus(int index) const {
    if (!IsValidIndex(index)) {
        return {};
    }
    const TZlgChannel& channel = *FChannels[static_cast<size_t>(index)];
    return channel.FStatusThread ? channel.FStatusThread->Latest() : TControllerStatus{};
}

void TZlgManager::StopThreads(TZlgChannel& channel) {
    if (channel.FStatusThread) {
        channel.FStatusThread->Stop(StopTimeoutMs);
        channel.FStatusThread.reset();
    }
    if (channel.FSendThread) {
        channel.FSendThread->Stop(StopTimeoutMs);
        channel.FSendThread.reset();
    }
    if (channel.FReadThread) {
        channel.FReadThread->Stop(StopTimeoutMs);
        channel.FReadThread.reset();
    }
}

void TZlgManager::CloseChannel(int index) {
    if (!IsValidIndex(index)) {
        return;
    }
    if (!ChannelFault(index).empty()) {
        FDeviceSuspect = true;
    }
    TZlgChannel& channel = *FChannels[static_cast<size_t>(index)];
    StopThreads(channel);
    channel.FOpened = false;
}
