// The library's own acceptance filter, per channel number.
#pragma once

#include "core/library_state.h"

#include <cstdint>

namespace ulmar {

// True if the received wire frame is to be kept: the filter is off, or one
// of its entries has the frame's format and an identifier range holding it.
bool passesFilter(const ChannelState& channel, const std::uint8_t* wire);

// Appends an entry; false when the table is full.
bool addFilterEntry(ChannelState& channel, const VciFilterEntry& entry);

// Empties the table and switches the filter off.
void clearFilter(ChannelState& channel);

} // namespace ulmar
