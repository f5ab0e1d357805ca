#include "protocol/pending_ring.h"

#include <cstring>

namespace ulmar {

bool pushPending(PendingRing& ring, const std::uint8_t* wire) {
    if (pendingCount(ring) >= kRingSize)
        return false;
    std::memcpy(ring.entries[ring.writePos].data(), wire, kWireFrameSize);
    ring.count.store(static_cast<std::uint8_t>(pendingCount(ring) + 1), std::memory_order_relaxed);
    if (++ring.writePos == kRingSize) {
        ring.writePos = 0;
        ring.wrapped = 1;
    }
    return true;
}

const WireFrame& popPending(PendingRing& ring) {
    const WireFrame& oldest = ring.entries[ring.readPos];
    if (++ring.readPos == kRingSize) {
        ring.readPos = 0;
        ring.wrapped = 0;
    }
    ring.count.store(static_cast<std::uint8_t>(pendingCount(ring) - 1), std::memory_order_relaxed);
    return oldest;
}

} // namespace ulmar
