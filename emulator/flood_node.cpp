#include "flood_node.h"

#include <algorithm>

namespace emu {

FloodNode::FloodNode(unsigned loadPercent, const FloodPattern& pattern)
    : loadPercent_(std::clamp(loadPercent, 1u, 100u)),
      length_(static_cast<std::uint8_t>(std::min(pattern.length, 8u))), ids_(pattern) {}

CanFrame FloodNode::pendingFrame() const {
    CanFrame f;
    f.id = ids_.idOf(sequence_);
    f.extended = ids_.extended();
    f.length = length_;
    for (int i = 0; i < 4; ++i) {
        f.data[i] = static_cast<std::uint8_t>(sequence_ >> (8 * i));
        f.data[4 + i] = static_cast<std::uint8_t>(~sequence_ >> (8 * i));
    }
    // Bytes past the length stay zero, as on the wire.
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
