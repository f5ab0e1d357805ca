#pragma once

// A node that keeps the bus busy at a chosen load, for benchmarks. Its
// frames follow a flood pattern (identifiers, sequence number, length; see
// flood_pattern.h), so a receiver can count every frame it lost.

#include "flood_pattern.h"
#include "traffic_node.h"

namespace emu {

class FloodNode : public TrafficNode {
public:
    // `loadPercent` 1..100: the share of bus time this node occupies.
    explicit FloodNode(unsigned loadPercent, const FloodPattern& pattern = {});

    std::optional<Clock::time_point> nextDue() const override { return due_; }
    CanFrame pendingFrame() const override;
    void sent(Clock::time_point start, Clock::time_point end) override;
    void idle(Clock::time_point now) override;

private:
    const unsigned loadPercent_;
    const std::uint8_t length_;
    const FloodIdCycle ids_;
    std::uint32_t sequence_ = 0;
    Clock::time_point due_{};
};

} // namespace emu
