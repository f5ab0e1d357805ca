#include "protocol/acceptance_filter.h"

#include "protocol/wire_frame.h"

namespace ulmar {

bool passesFilter(const ChannelState& channel, const std::uint8_t* wire) {
    if (channel.filterEnabled.load(std::memory_order_relaxed) == 0)
        return true;
    const std::int32_t count = channel.filterCount.load(std::memory_order_acquire);
    const std::uint32_t id = wireCanId(wire);
    const std::uint32_t kind = wireIsExtended(wire);
    for (std::int32_t i = 0; i < count; ++i) {
        const VciFilterEntry& entry = channel.filterTable[static_cast<std::size_t>(i)];
        if (entry.frameKind == kind && entry.firstId <= id && id <= entry.lastId)
            return true;
    }
    return false;
}

bool addFilterEntry(ChannelState& channel, const VciFilterEntry& entry) {
    const std::int32_t count = channel.filterCount.load(std::memory_order_relaxed);
    if (count >= kFilterCapacity)
        return false;
    channel.filterTable[static_cast<std::size_t>(count)] = entry;
    channel.filterCount.store(count + 1, std::memory_order_release);
    return true;
}

void clearFilter(ChannelState& channel) {
    channel.filterEnabled.store(0, std::memory_order_relaxed);
    channel.filterCount.store(0, std::memory_order_release);
}

} // namespace ulmar
