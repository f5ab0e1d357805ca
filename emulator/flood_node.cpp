#include "flood_node.h"

#include <algorithm>

namespace emu {

FloodNode::FloodNode(unsigned loadPercent, std::uint8_t length)
    : loadPercent_(std::clamp(loadPercent, 1u, 100u)), length_(std::min<std::uint8_t>(length, 8)) {}

CanFrame FloodNode::pendingFrame() const {
    CanFrame f;
    f.id = kFloodId;
    f.length = length_;
    for (int i = 0; i < 4; ++i) {
        f.data[i] = static_cast<std::uint8_t>(sequence_ >> (8 * i));
        f.data[4 + i] = static_cast<std::uint8_t>(~sequence_ >> (8 * i));
    }
    std::fill(f.data.begin() + length_, f.data.end(), 0);
    return f;
}

void FloodNode::sent(Clock::time_point start, Clock::time_point end) {
    ++sequence_;
    // Each frame takes its share of time from when it was due, not from when
    // it went out, so that busy time / total time = load even when the bus
    // thread wakes late: the next frames make up the delay. A backlog older
    // than kMaxCatchUp is dropped rather than sent as a burst.
    const auto busy = end - start;
    due_ = std::max(due_, start - kMaxCatchUp) + busy * 100 / loadPercent_;
}

void FloodNode::idle(Clock::time_point now) {
    due_ = std::max(due_, now);
}

} // namespace emu
