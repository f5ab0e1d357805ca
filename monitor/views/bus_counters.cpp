#include "views/bus_counters.h"

#include "model/frame_bits.h"

void TBusCounters::AddReceived(std::uint64_t frames, std::uint64_t bits) {
    FReceived.fetch_add(frames, std::memory_order_relaxed);
    FBits.fetch_add(bits, std::memory_order_relaxed);
}

void TBusCounters::AddSent(const TCanFrame& frame) {
    FSent.fetch_add(1, std::memory_order_relaxed);
    FBits.fetch_add(FrameBitCount(frame), std::memory_order_relaxed);
}

void TBusCounters::AddDropped(std::uint64_t frames) {
    FDropped.fetch_add(frames, std::memory_order_relaxed);
}

void TBusCounters::Reset() {
    FReceived.store(0, std::memory_order_relaxed);
    FSent.store(0, std::memory_order_relaxed);
    FBits.store(0, std::memory_order_relaxed);
    FDropped.store(0, std::memory_order_relaxed);
}

TBusCounters::TSnapshot TBusCounters::Snapshot() const {
    TSnapshot s;
    s.Received = FReceived.load(std::memory_order_relaxed);
    s.Sent = FSent.load(std::memory_order_relaxed);
    s.Bits = FBits.load(std::memory_order_relaxed);
    s.Dropped = FDropped.load(std::memory_order_relaxed);
    return s;
}
