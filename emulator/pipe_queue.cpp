#include "pipe_queue.h"

namespace emu {

void PipeQueue::push(std::vector<std::uint8_t> packet) {
    {
        std::lock_guard lock(mutex_);
        if (packets_.size() >= capacity_)
            packets_.pop_front();
        packets_.push_back(std::move(packet));
    }
    changed_.notify_all();
}

std::optional<std::vector<std::uint8_t>> PipeQueue::pop(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [&] { return shutdown_ || !packets_.empty(); }))
        return std::nullopt;
    if (packets_.empty())
        return std::nullopt;
    auto packet = std::move(packets_.front());
    packets_.pop_front();
    return packet;
}

void PipeQueue::clear() {
    std::lock_guard lock(mutex_);
    packets_.clear();
}

void PipeQueue::shutdown() {
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
    }
    changed_.notify_all();
}

} // namespace emu
