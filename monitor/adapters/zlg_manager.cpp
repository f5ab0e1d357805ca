#include "adapters/zlg_manager.h"

#include "adapters/vci_api.h"
#include "adapters/zlg_bit_timing.h"

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
    if (!InitAndStart(index)) {
        return false;
    }
    StartThreads(channel);
    channel.FOpened = true;
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

void TZlgManager::StartThreads(TZlgChannel& channel) {
    const auto canIndex = static_cast<uint32_t>(channel.FIndex);

    // Frames queued while the channel was closed are not sent. Cleared before
    // the receive thread starts, so that answers it queues to the first remote
    // frames of this opening are not thrown away with them.
    channel.ClearSendQueue();
    channel.BusCounters().Reset();

    channel.FReadThread.reset();
    auto reader = std::make_unique<TZlgThreadRead>(FVci, FDevType, FDevIndex, canIndex);
    reader->FLogger = &channel.Logger();
    reader->FTraceList = &channel.TraceList();
    reader->FFrameTable = &channel.FrameTable();
    reader->FSendList = &channel.SendList();
    reader->FBusCounters = &channel.BusCounters();
    reader->Start();
    channel.FReadThread = std::move(reader);

    channel.FSendThread.reset();
    auto sender = std::make_unique<TZlgThreadSend>(FVci, FDevType, FDevIndex, canIndex);
    sender->FSendQueue = &channel.SendQueue();
    sender->FLogger = &channel.Logger();
    sender->FTraceList = &channel.TraceList();
    sender->FBusCounters = &channel.BusCounters();
    sender->Start();
    channel.FSendThread = std::move(sender);

    channel.FStatusThread.reset();
    auto status = std::make_unique<TZlgThreadStatus>(FVci, FDevType, FDevIndex, canIndex);
    status->Start();
    channel.FStatusThread = std::move(status);
}

TControllerStatus TZlgManager::ControllerStatus(int index) const {
    if (!IsValidIndex(index)) {
        return {};
    }
    const TZlgChannel& channel = *FChannels[static_cast<size_t>(index)];
    return channel.FStatusThread ? channel.FStatusThread->Latest() : TControllerStatus{};
}

void TZlgManager::CloseChannel(int index) {
    if (!IsValidIndex(index)) {
        return;
    }
    TZlgChannel& channel = *FChannels[static_cast<size_t>(index)];
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
    channel.FOpened = false;
}
