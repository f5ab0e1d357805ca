#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

// A channel's first-in first-out buffer of log lines. Lines are stored and
// handed out exactly as given: no levels, no time stamps.
// Shared: worker threads Add, the window's thread drains with IsEmpty/Pop;
// FLines is guarded by FLock, held only for one append or one removal.
class TLogger {
public:
    void Add(const std::string& line);
    // Moves the oldest line into `line` and returns true; when none waits,
    // sets `line` to empty text and returns false.
    bool Pop(std::string& line);
    // Lock-free and possibly stale by the time the caller acts; Pop tolerates that.
    bool IsEmpty() const { return FCount.load(std::memory_order_acquire) == 0; }

private:
    std::mutex FLock;
    std::deque<std::string> FLines;     // guarded by FLock
    std::atomic<std::size_t> FCount{0}; // mirror of FLines.size() for IsEmpty
};
