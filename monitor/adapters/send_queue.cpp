#include "adapters/send_queue.h"

void TSendQueue::Push(const TCanFrame& frame) {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FFrames.emplace_back().Assign(frame);
    }
    FNotEmpty.notify_one();
}

bool TSendQueue::Take(TCanFrame& frame, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> guard(FLock);
    if (!FNotEmpty.wait_for(guard, wait, [this] { return !FFrames.empty(); })) {
        return false;
    }
    frame.Assign(FFrames.front());
    FFrames.pop_front();
    return true;
}

void TSendQueue::Clear() {
    std::lock_guard<std::mutex> guard(FLock);
    FFrames.clear();
}

std::size_t TSendQueue::Count() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FFrames.size();
}
