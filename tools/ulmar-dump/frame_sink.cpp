#include "frame_sink.h"

FrameSink::FrameSink(canlog::LogWriter& writer, std::uint64_t maxFrames)
    : writer_(writer), maxFrames_(maxFrames) {}

bool FrameSink::add(const std::vector<canlog::LogFrame>& frames) {
    std::lock_guard<std::mutex> lock(lock_);
    for (const auto& frame : frames) {
        if (limitReached_ || !failure_.empty())
            return false;
        if (!writer_.write(frame)) {
            failure_ = "cannot write the log";
            return false;
        }
        ++written_;
        ++perChannel_[frame.channel % perChannel_.size()];
        limitReached_ = maxFrames_ != 0 && written_ >= maxFrames_;
    }
    return !limitReached_ && failure_.empty();
}

void FrameSink::adapterLost(const std::string& message) {
    std::lock_guard<std::mutex> lock(lock_);
    if (failure_.empty())
        failure_ = message;
}

bool FrameSink::flush() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!writer_.flush() && failure_.empty())
        failure_ = "cannot write the log";
    return failure_.empty();
}

bool FrameSink::finished() const {
    std::lock_guard<std::mutex> lock(lock_);
    return limitReached_ || !failure_.empty();
}

std::array<std::uint64_t, 2> FrameSink::framesPerChannel() const {
    std::lock_guard<std::mutex> lock(lock_);
    return perChannel_;
}

std::string FrameSink::failure() const {
    std::lock_guard<std::mutex> lock(lock_);
    return failure_;
}
