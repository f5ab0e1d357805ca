#pragma once

// Replays logged frames onto a bus with their original spacing, optionally
// over and over. The log's clock starts when a channel first listens; while
// nobody listens the replay waits.

#include <vector>

#include "candump.h"
#include "traffic_node.h"

namespace emu {

class ReplayNode : public TrafficNode {
public:
    ReplayNode(std::vector<CandumpRecord> records, bool loop);

    std::optional<Clock::time_point> nextDue() const override;
    CanFrame pendingFrame() const override { return records_[next_].frame; }
    void sent(Clock::time_point start, Clock::time_point end) override;
    void idle(Clock::time_point now) override;

private:
    Clock::duration offsetOf(std::size_t i) const;

    const std::vector<CandumpRecord> records_;
    const bool loop_;
    std::size_t next_ = 0;
    Clock::time_point base_{}; // when the log's first record is due
};

// Splits a log among `busCount` buses: the n-th interface name seen in the log
// goes to bus n modulo `busCount`.
std::vector<std::vector<CandumpRecord>> splitByInterface(const std::vector<CandumpRecord>& records,
                                                         int busCount);

} // namespace emu
