#pragma once

// A simulated node on a bus (demo traffic, flood, log replay). Nodes have no
// threads: the bus thread asks them when they want the bus and which frame
// they send. Only that bus thread ever touches a node.

#include <chrono>
#include <optional>

#include "can_frame.h"

namespace emu {

class TrafficNode {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~TrafficNode() = default;

    // When the node next wants the bus; nothing when it is done for good.
    virtual std::optional<Clock::time_point> nextDue() const = 0;
    // The frame it would send now.
    virtual CanFrame pendingFrame() const = 0;
    // The frame went out, occupying the bus from `start` to `end`.
    virtual void sent(Clock::time_point start, Clock::time_point end) = 0;
    // Nobody listens at the moment: the node skips what it missed and plans
    // its next frame from `now`.
    virtual void idle(Clock::time_point now) = 0;
    // How far behind its due time a frame may still start at that time when
    // the bus thread wakes late. Beyond it the frame starts later, so that a
    // bus that fell behind catches up without a long burst.
    virtual Clock::duration catchUpLimit() const { return std::chrono::milliseconds(50); }
};

} // namespace emu
