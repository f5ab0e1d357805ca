// Moving frames in and out of a channel's pending ring.
#pragma once

#include "core/library_state.h"

namespace ulmar {

// Stores a copy of the 21-byte wire frame; false (frame dropped) if the ring
// is full, which the receive arithmetic never lets happen.
bool pushPending(PendingRing& ring, const std::uint8_t* wire);

// Takes the oldest frame; the ring must not be empty.
const WireFrame& popPending(PendingRing& ring);

inline std::uint8_t pendingCount(const PendingRing& ring) {
    return ring.count.load(std::memory_order_relaxed);
}

} // namespace ulmar
