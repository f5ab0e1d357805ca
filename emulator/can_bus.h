#pragma once

// A simulated CAN bus: the channels attached to it and the simulated nodes on
// it compete for the bus by identifier, and each frame occupies the bus for
// the time its bits need at the sender's bit rate. A frame reaches every other
// started channel on the bus whose bit timing equals the sender's (and the
// sender itself in self-test mode or when the frame asks for self-reception).
//
// Simulated nodes speak at the bit rate of the first active channel on the
// bus; with no active channel they are silent.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "channel.h"
#include "emu_clock.h"
#include "traffic_node.h"

namespace emu {

class CanBus {
public:
    using Clock = std::chrono::steady_clock;

    // With `timing` off, host frames take no bus time (they pass as fast as
    // the link allows); simulated nodes still pace themselves by bit time.
    CanBus(int index, bool timing, const EmuClock& clock);
    ~CanBus();
    CanBus(const CanBus&) = delete;
    CanBus& operator=(const CanBus&) = delete;

    int index() const { return index_; }

    // Set-up, before start().
    void attach(Channel& channel);
    void addNode(std::unique_ptr<TrafficNode> node);

    void start();
    void stop();
    // Something changed on an attached channel; safe from any thread.
    void wake();

    // Frames carried so far (any thread).
    std::uint64_t framesCarried() const { return carried_.load(std::memory_order_relaxed); }

private:
    struct Candidate;
    enum class StepKind { Sent, Retry, Pace, Idle };
    struct Step {
        StepKind kind;
        Clock::time_point until; // Pace: sleep until; Idle: next node due
    };

    void run();
    Step step();
    // When the winner's frame starts on the bus.
    Clock::time_point startOf(const Candidate& winner, Clock::time_point at) const;
    // Fills candidates_ from heads_, views_ and the nodes.
    void gatherCandidates(Clock::time_point at, Clock::time_point& nextNodeDue);
    // To the channels of views_ that hear it.
    void deliver(const CanFrame& frame, const Channel* sender, BitTiming timing);

    const int index_;
    const bool timing_;
    const EmuClock& clock_;
    // Fixed before start(); afterwards read by the bus thread only.
    std::vector<Channel*> channels_;
    std::vector<std::unique_ptr<TrafficNode>> nodes_;
    // Bus thread only.
    Clock::time_point busFree_{};
    bool heardBefore_ = false; // the previous step had a listener (bus thread only)
    // Scratch of one step, kept to spare allocations (bus thread only).
    std::vector<std::optional<std::pair<std::uint64_t, CanFrame>>> heads_;
    std::vector<BusView> views_;
    std::vector<Candidate> candidates_;

    // Guards wakePending_ and stopping_ between wake()/stop() callers and the bus thread.
    std::mutex mutex_;
    std::condition_variable wakeup_;
    bool wakePending_ = false;
    bool stopping_ = false;
    std::atomic<std::uint64_t> carried_{0}; // written by the bus thread, read by the stats thread
    std::thread thread_;
};

} // namespace emu
