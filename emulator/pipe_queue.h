#pragma once

// Reply packets waiting on one in-pipe of the adapter.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace emu {

class PipeQueue {
public:
    using Clock = std::chrono::steady_clock;

    // Keeps at most `capacity` packets; the oldest is dropped when a host
    // never reads its replies.
    explicit PipeQueue(std::size_t capacity = 32) : capacity_(capacity) {}

    void push(std::vector<std::uint8_t> packet);
    // Waits until a packet is there, the deadline passes or shutdown().
    std::optional<std::vector<std::uint8_t>> pop(Clock::time_point deadline);
    void clear();
    // Wakes every waiting pop() for good.
    void shutdown();

private:
    const std::size_t capacity_;
    // Touched by the connection threads of the command/reply pipes; guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> packets_;
    bool shutdown_ = false;
};

} // namespace emu
