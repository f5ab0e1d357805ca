// The library-wide state: the device table with its pipe slots, the single
// open counter and the per-channel-number state shared by all devices.
#pragma once

#include "ulmar.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace ulmar {

constexpr int kDeviceCount = 10;
constexpr int kSlotCount = 13;
constexpr int kChannelCount = 2;
constexpr int kFilterCapacity = 500;
constexpr int kRingSize = 10;
constexpr int kWireFrameSize = 21;

// Slot numbers within a device's 13 pipe slots.
constexpr int kControlInSlot = 0;
constexpr int frameOutSlot(std::uint32_t channel) {
    return 1 + 6 * static_cast<int>(channel);
}
constexpr int frameInSlot(std::uint32_t channel) {
    return 2 + 6 * static_cast<int>(channel);
}
constexpr int commandOutSlot(std::uint32_t channel) {
    return 3 + 6 * static_cast<int>(channel);
}
constexpr int replyInSlot(std::uint32_t channel) {
    return 4 + 6 * static_cast<int>(channel);
}
constexpr int auxOutSlot(std::uint32_t channel) {
    return 5 + 6 * static_cast<int>(channel);
}
constexpr int auxInSlot(std::uint32_t channel) {
    return 6 + 6 * static_cast<int>(channel);
}

using WireFrame = std::array<std::uint8_t, kWireFrameSize>;

// Received frames that did not fit into the caller's array. Only the one
// thread allowed to call VCI_Receive on the channel touches it; `count` is
// also read by VCI_GetReceiveNum from any thread, hence atomic (relaxed).
struct PendingRing {
    std::array<WireFrame, kRingSize> entries{};
    std::uint8_t writePos = 0;
    std::uint8_t readPos = 0;
    std::uint8_t wrapped = 0;
    std::atomic<std::uint8_t> count = 0;
};

// One per channel number, shared by all devices. Hosts keep VCI_Receive of a
// channel on one thread at a time and never let filter additions
// (VCI_SetReference kinds 1 to 3) overlap it. VCI_ResetCAN and VCI_CloseDevice
// may clear the filter while the receive thread reads it, so the count and
// the switch are atomic: an entry is written before the count that covers it
// is published (release), and the reader acquires the count first.
struct ChannelState {
    std::atomic<std::int32_t> filterCount = 0;
    std::atomic<std::uint32_t> filterEnabled = 0;
    std::array<VciFilterEntry, kFilterCapacity> filterTable{};
    std::uint32_t rateIndex = 0;
    std::uint32_t rateSet = 0;
    PendingRing pendingRing;
};

struct DeviceEntry {
    std::array<std::int32_t, kSlotCount> slots;
};

// Slots change only in open and close, which must not overlap any other call.
DeviceEntry& deviceEntry(int device);

// The one process-wide open counter (not per device).
std::int32_t& openCount();

ChannelState& channelState(std::uint32_t channel);

// Puts everything back to the state at load. For in-process tests only.
void resetLibraryState();

} // namespace ulmar
