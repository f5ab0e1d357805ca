#pragma once

// Replays logged frames onto a bus with their original spacing, optionally
// over and over. The log's clock starts when a channel first listens; while
// nobody listens the replay waits.

#include <cstdint>
#include <vector>

#include "log_frame.h"
#include "traffic_node.h"

namespace emu {

// One logged frame to replay.
struct ReplayRecord {
    std::int64_t timeUs = 0; // as logged; only the differences count
    unsigned channel = 0;    // the log's channel: can0 / ASC 1 / CSV 0 is channel 0
    CanFrame frame;
};

std::vector<ReplayRecord> toReplayRecords(const std::vector<canlog::LogFrame>& frames);

class ReplayNode : public TrafficNode {
public:
    ReplayNode(std::vector<ReplayRecord> records, bool loop);

    std::optional<Clock::time_point> nextDue() const override;
    CanFrame pendingFrame() const override { return records_[next_].frame; }
    void sent(Clock::time_point start, Clock::time_point end) override;
    void idle(Clock::time_point now) override;
    // A replay keeps the log's spacing through any late wake-up that does
    // not outlast the log's own pauses by far: the point of a replay is its
    // timing.
    Clock::duration catchUpLimit() const override { return std::chrono::seconds(10); }

private:
    Clock::duration offsetOf(std::size_t i) const;

    const std::vector<ReplayRecord> records_;
    const bool loop_;
    std::size_t next_ = 0;
    Clock::time_point base_{}; // when the log's first record is due
};

// Splits a log among `busCount` buses: channel n goes to bus n modulo `busCount`.
std::vector<std::vector<ReplayRecord>> splitByChannel(const std::vector<ReplayRecord>& records,
                                                      int busCount);

} // namespace emu
