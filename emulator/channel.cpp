#include "channel.h"

#include <algorithm>

namespace emu {

std::uint8_t ControllerFaults::reportedTransmitErrors() const {
    if (busOff)
        return 255;
    if (errorPassive)
        return std::max<std::uint8_t>(transmitErrors, 128);
    return transmitErrors;
}

Channel::Channel(int index, std::size_t receiveCapacity, ControllerFaults faults)
    : index_(index), receiveCapacity_(std::max<std::size_t>(receiveCapacity, 1)), faults_(faults) {}

void Channel::notifyBus() const {
    if (wakeBus_)
        wakeBus_();
}

void Channel::initialise(const ChannelConfig& config) {
    {
        std::lock_guard lock(mutex_);
        config_ = config;
        configured_ = true;
        started_ = false;
        overrunFlag_ = false;
        transmitQueue_.clear();
    }
    changed_.notify_all();
    notifyBus();
}

void Channel::start() {
    {
        std::lock_guard lock(mutex_);
        started_ = true;
    }
    notifyBus();
}

void Channel::reset() {
    {
        std::lock_guard lock(mutex_);
        started_ = false;
        overrunFlag_ = false;
        transmitQueue_.clear();
    }
    changed_.notify_all();
    notifyBus();
}

void Channel::clearReceiveBuffer() {
    std::lock_guard lock(mutex_);
    receiveBuffer_.clear();
    overrunFlag_ = false;
}

std::size_t Channel::queueTransmit(std::span<const CanFrame> frames, Clock::time_point deadline) {
    std::size_t accepted = 0;
    {
        std::unique_lock lock(mutex_);
        while (accepted < frames.size()) {
            const bool silent =
                !started_ || !configured_ || !sendsOnBus(config_.mode) || faults_.busOff;
            if (silent) {
                discarded_ += frames.size() - accepted;
                accepted = frames.size();
                break;
            }
            if (transmitQueue_.size() < kTransmitCapacity) {
                transmitQueue_.emplace_back(nextTicket_++, frames[accepted++]);
                continue;
            }
            lock.unlock();
            notifyBus();
            lock.lock();
            const bool room = changed_.wait_until(lock, deadline, [&] {
                return shutdown_ || transmitQueue_.size() < kTransmitCapacity;
            });
            if (!room || shutdown_)
                break;
        }
    }
    notifyBus();
    return accepted;
}

bool Channel::waitForReceived(std::size_t count, Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    const auto ready = [&] { return shutdown_ || receiveBuffer_.size() >= count; };
    if (!ready()) {
        ++readersWaiting_;
        wakeReadersAt_ = std::min(wakeReadersAt_, count);
        receiveReady_.wait_until(lock, deadline, ready);
        if (--readersWaiting_ == 0)
            wakeReadersAt_ = SIZE_MAX;
    }
    return !shutdown_ && receiveBuffer_.size() >= count;
}

std::vector<CanFrame> Channel::takeReceived(std::size_t max) {
    std::lock_guard lock(mutex_);
    const std::size_t n = std::min(max, receiveBuffer_.size());
    std::vector<CanFrame> frames(receiveBuffer_.begin(), receiveBuffer_.begin() + n);
    receiveBuffer_.erase(receiveBuffer_.begin(), receiveBuffer_.begin() + n);
    return frames;
}

ChannelStatus Channel::status() const {
    std::lock_guard lock(mutex_);
    ChannelStatus s;
    s.started = started_;
    s.configured = configured_;
    s.config = config_;
    s.faults = faults_;
    s.receiveWaiting = receiveBuffer_.size();
    s.transmitWaiting = transmitQueue_.size();
    s.overrunFlag = overrunFlag_;
    s.overruns = overruns_;
    s.transmitted = transmitted_;
    s.received = received_;
    s.discarded = discarded_;
    return s;
}

void Channel::shutdown() {
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
    }
    changed_.notify_all();
    receiveReady_.notify_all();
}

BusView Channel::busView() const {
    std::lock_guard lock(mutex_);
    BusView view;
    view.timing = decodeBitTiming(config_.btr0, config_.btr1);
    view.active = started_ && configured_ && view.timing.valid() && !faults_.busOff;
    view.mode = config_.mode;
    return view;
}

std::optional<std::pair<std::uint64_t, CanFrame>> Channel::peekTransmit() const {
    std::lock_guard lock(mutex_);
    if (transmitQueue_.empty())
        return std::nullopt;
    return transmitQueue_.front();
}

bool Channel::popTransmit(std::uint64_t ticket) {
    {
        std::lock_guard lock(mutex_);
        if (transmitQueue_.empty() || transmitQueue_.front().first != ticket)
            return false;
        transmitQueue_.pop_front();
        ++transmitted_;
    }
    changed_.notify_all();
    return true;
}

void Channel::deliver(const CanFrame& frame) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        ++arrivals_;
        const bool injected = faults_.overrunEvery != 0 && arrivals_ % faults_.overrunEvery == 0;
        if (injected || receiveBuffer_.size() >= receiveCapacity_) {
            ++overruns_;
            overrunFlag_ = true;
            return;
        }
        receiveBuffer_.push_back(frame);
        ++received_;
        wake = receiveBuffer_.size() >= wakeReadersAt_;
    }
    if (wake)
        receiveReady_.notify_all();
}

} // namespace emu
