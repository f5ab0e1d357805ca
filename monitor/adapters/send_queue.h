#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "model/can_frame.h"

// First-in first-out queue of frames waiting for a channel's send thread.
// Producers: the window's thread (single sends), the periodic send thread and
// the receive thread (on-request sweep). Consumer: the channel's send thread.
// Every access takes FLock for a copy in or out only; the consumer waits on
// FNotEmpty, which releases the lock while it waits.
class TSendQueue {
public:
    // Appends a copy of the frame; the caller keeps its own frame.
    void Push(const TCanFrame& frame);

    // Takes the head into `frame`. Waits at most `wait` for one to arrive;
    // false when the queue stayed empty.
    bool Take(TCanFrame& frame, std::chrono::milliseconds wait);

    // Discards every queued frame.
    void Clear();

    std::size_t Count() const;

private:
    mutable std::mutex FLock;
    std::condition_variable FNotEmpty;
    std::deque<TCanFrame> FFrames;
};
