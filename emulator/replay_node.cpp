#include "replay_node.h"

#include <algorithm>

namespace emu {

// Pause between the end of a log and its next round.
constexpr auto kLoopGap = std::chrono::milliseconds(100);

ReplayNode::ReplayNode(std::vector<ReplayRecord> records, bool loop)
    : records_(std::move(records)), loop_(loop) {}

TrafficNode::Clock::duration ReplayNode::offsetOf(std::size_t i) const {
    const auto us = std::max<std::int64_t>(0, records_[i].timeUs - records_.front().timeUs);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(us));
}

std::optional<TrafficNode::Clock::time_point> ReplayNode::nextDue() const {
    if (next_ >= records_.size())
        return std::nullopt;
    return base_ + offsetOf(next_);
}

void ReplayNode::sent(Clock::time_point, Clock::time_point end) {
    ++next_;
    if (next_ == records_.size() && loop_) {
        next_ = 0;
        base_ = end + kLoopGap;
    }
}

void ReplayNode::idle(Clock::time_point now) {
    if (next_ < records_.size())
        base_ = std::max(base_, now - offsetOf(next_));
}

std::vector<ReplayRecord> toReplayRecords(const std::vector<canlog::LogFrame>& frames) {
    std::vector<ReplayRecord> records;
    records.reserve(frames.size());
    for (const auto& logged : frames) {
        ReplayRecord record;
        record.timeUs = logged.timeUs;
        record.channel = logged.channel;
        record.frame.id = logged.id;
        record.frame.extended = logged.extended;
        record.frame.remote = logged.remote;
        record.frame.length = logged.length;
        record.frame.data = logged.data;
        records.push_back(record);
    }
    return records;
}

std::vector<std::vector<ReplayRecord>> splitByChannel(const std::vector<ReplayRecord>& records,
                                                      int busCount) {
    std::vector<std::vector<ReplayRecord>> perBus(static_cast<std::size_t>(std::max(busCount, 1)));
    for (const auto& record : records)
        perBus[record.channel % perBus.size()].push_back(record);
    return perBus;
}

} // namespace emu
