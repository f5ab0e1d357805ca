#pragma once

// Demo traffic: a few simulated nodes that send periodic standard and
// extended frames with changing data, and now and then a remote frame.

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "traffic_node.h"

namespace emu {

// Sends one frame every `period`; `update` changes the frame's data before
// each send, given how many frames the node sent so far.
class PeriodicNode : public TrafficNode {
public:
    using Update = std::function<void(CanFrame&, std::uint64_t count)>;

    PeriodicNode(CanFrame frame, std::chrono::microseconds period, std::chrono::microseconds phase,
                 Update update);

    std::optional<Clock::time_point> nextDue() const override { return due_; }
    CanFrame pendingFrame() const override { return frame_; }
    void sent(Clock::time_point start, Clock::time_point end) override;
    void idle(Clock::time_point now) override;

private:
    CanFrame frame_;
    const std::chrono::microseconds period_;
    const std::chrono::microseconds phase_;
    Update update_;
    std::uint64_t count_ = 0;
    std::optional<Clock::time_point> due_;
};

// The demo set for one bus; `busIndex` varies the data so two buses differ.
std::vector<std::unique_ptr<TrafficNode>> makeDemoNodes(int busIndex);

} // namespace emu
