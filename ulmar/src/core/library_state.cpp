#include "core/library_state.h"

#include "transport/pipe_backend.h"

namespace ulmar {
namespace {

std::array<DeviceEntry, kDeviceCount> makeClosedTable() {
    std::array<DeviceEntry, kDeviceCount> table;
    for (DeviceEntry& entry : table)
        entry.slots.fill(kNoPipe);
    return table;
}

std::array<DeviceEntry, kDeviceCount> gDevices = makeClosedTable();
std::int32_t gOpenCount = 0;
std::array<ChannelState, kChannelCount> gChannels;

} // namespace

DeviceEntry& deviceEntry(int device) {
    return gDevices[static_cast<std::size_t>(device)];
}

std::int32_t& openCount() {
    return gOpenCount;
}

ChannelState& channelState(std::uint32_t channel) {
    return gChannels[channel];
}

void resetLibraryState() {
    gDevices = makeClosedTable();
    gOpenCount = 0;
    for (ChannelState& channel : gChannels) {
        channel.filterCount = 0;
        channel.filterEnabled = 0;
        channel.filterTable.fill(VciFilterEntry{});
        channel.rateIndex = 0;
        channel.rateSet = 0;
        PendingRing& ring = channel.pendingRing;
        ring.writePos = ring.readPos = ring.wrapped = 0;
        ring.count.store(0, std::memory_order_relaxed);
    }
}

} // namespace ulmar
