#pragma once

#include <atomic>
#include <cstdint>

class TCanFrame;

// Running totals of one channel since it was opened: frames received and
// sent, the bus bits they took, and frames the monitor itself had to drop.
//
// Shared: the receive thread adds received frames (once per poll), the send
// thread adds sent frames, the window's thread reads a snapshot and resets
// the totals when the channel opens. Relaxed atomics: each total is exact on
// its own; a snapshot may mix totals from either side of one poll.
class TBusCounters {
public:
    struct TSnapshot {
        std::uint64_t Received = 0;
        std::uint64_t Sent = 0;
        std::uint64_t Bits = 0; // received and sent frames together
        std::uint64_t Dropped = 0;
    };

    void AddReceived(std::uint64_t frames, std::uint64_t bits);
    void AddSent(const TCanFrame& frame);
    void AddDropped(std::uint64_t frames);
    void Reset();
    TSnapshot Snapshot() const;

private:
    std::atomic<std::uint64_t> FReceived{0};
    std::atomic<std::uint64_t> FSent{0};
    std::atomic<std::uint64_t> FBits{0};
    std::atomic<std::uint64_t> FDropped{0};
};
