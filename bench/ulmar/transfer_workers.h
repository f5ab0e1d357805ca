// The threads of the benchmark: one sender or receiver per pipe, each
// measuring its own wall and CPU time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "flood_pattern.h"

namespace ulmar::bench {

using Clock = std::chrono::steady_clock;

struct Measurement {
    std::uint64_t frames = 0; // accepted by VCI_Transmit, or returned by VCI_Receive
    std::uint64_t lost = 0;   // refused by VCI_Transmit, or never received
    double wallSeconds = 0;
    double cpuSeconds = 0; // of the measuring thread, user and system
};

// Sends frames numbered from 0 (number in data bytes 0-3, complement in
// 4-7) in calls of 48, until `count` frames were offered or `until` passed.
// Frames that VCI_Transmit did not accept count as lost. Sets `done` at the end.
struct Sender {
    std::uint32_t device;
    std::uint32_t channel;
    std::uint64_t count;
    Clock::time_point until;
    std::atomic<bool>& done;
    Measurement result;

    void run();
};

// Receives until the sender it listens to is done and the adapter stays
// empty for one read, or until `until` passed. A gap in the frame numbers,
// and frames the sender had sent that never came, count as lost; without a
// sender, frames a flood of that pattern sent and the receiver missed.
struct Receiver {
    std::uint32_t device;
    std::uint32_t channel;
    Clock::time_point until;
    const std::atomic<bool>* senderDone; // nullptr: run until `until`
    const Sender* sender;                // whose accepted frames to expect, or nullptr
    emu::FloodPattern flood;             // what arrives when there is no sender
    Measurement result;

    void run();
};

} // namespace ulmar::bench
