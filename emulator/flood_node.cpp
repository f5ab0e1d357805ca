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
    // Idle after each frame so that busy time / total time = load.
    const auto busy = end - start;
    due_ = end + busy * (100 - loadPercent_) / loadPercent_;
}

void FloodNode::idle(Clock::time_point now) {
    due_ = std::max(due_, now);
}

} // namespace emu
