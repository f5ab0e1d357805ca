#include "protocol/acceptance_filter.h"

#include "protocol/wire_frame.h"

namespace ulmar {

bool passesFilter(const ChannelState& channel, const std::uint8_t* wire) {
    if (channel.filterEnabled == 0)
        return true;
    const std::uint32_t id = wireCanId(wire);
    const std::uint32_t kind = wireIsExtended(wire);
    for (std::int32_t i = 0; i < channel.filterCount; ++i) {
        const VciFilterEntry& entry = channel.filterTable[static_cast<std::size_t>(i)];
        if (entry.frameKind == kind && entry.firstId <= id && id <= entry.lastId)
            return true;
    }
    return false;
}

bool addFilterEntry(ChannelState& channel, const VciFilterEntry& entry) {
    if (channel.filterCount >= kFilterCapacity)
        return false;
    channel.filterTable[static_cast<std::size_t>(channel.filterCount++)] = entry;
    return true;
}

void clearFilter(ChannelState& channel) {
    channel.filterCount = 0;
    channel.filterEnabled = 0;
}

} // namespace ulmar
