#pragma once

// A node that keeps the bus busy at a chosen load, for benchmarks.
//
// Its frames: standard identifier 0x7FF (the lowest priority of all standard
// frames, so host traffic still gets through), 8 data bytes unless fewer are
// asked for: bytes 0-3 a sequence number (little-endian, +1 per frame,
// starting at 0), bytes 4-7 its bitwise complement, cut to the length. A
// receiver counts lost frames from gaps in the sequence.

#include "traffic_node.h"

namespace emu {

constexpr std::uint32_t kFloodId = 0x7FF;

class FloodNode : public TrafficNode {
public:
    // `loadPercent` 1..100: the share of bus time this node occupies.
    // `length` 0..8: data bytes per frame.
    explicit FloodNode(unsigned loadPercent, std::uint8_t length = 8);

    std::optional<Clock::time_point> nextDue() const override { return due_; }
    CanFrame pendingFrame() const override;
    void sent(Clock::time_point start, Clock::time_point end) override;
    void idle(Clock::time_point now) override;

private:
    const unsigned loadPercent_;
    const std::uint8_t length_;
    std::uint32_t sequence_ = 0;
    Clock::time_point due_{};
};

} // namespace emu
