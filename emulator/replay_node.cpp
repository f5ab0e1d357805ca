#include "replay_node.h"

#include <algorithm>
#include <map>

namespace emu {

// Pause between the end of a log and its next round.
constexpr auto kLoopGap = std::chrono::milliseconds(100);

ReplayNode::ReplayNode(std::vector<CandumpRecord> records, bool loop)
    : records_(std::move(records)), loop_(loop) {}

TrafficNode::Clock::duration ReplayNode::offsetOf(std::size_t i) const {
    const double seconds = std::max(0.0, records_[i].time - records_.front().time);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
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

std::vector<std::vector<CandumpRecord>> splitByInterface(const std::vector<CandumpRecord>& records,
                                                         int busCount) {
    std::vector<std::vector<CandumpRecord>> perBus(static_cast<std::size_t>(std::max(busCount, 1)));
    std::map<std::string, std::size_t> busOf;
    for (const auto& record : records) {
        auto [it, added] = busOf.emplace(record.interface, busOf.size() % perBus.size());
        perBus[it->second].push_back(record);
    }
    return perBus;
}

} // namespace emu
