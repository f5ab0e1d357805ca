#pragma once

// One channel's receive loop in ulmar-dump: takes frames from Ulmar, stamps
// them with the adapter's time and hands them to the sink; now and then reads
// the controller status to count the adapter's overruns. Runs on its own
// thread; `run` returns when `keepGoing` says stop (after draining what the
// adapter still holds), when the sink is finished or when the adapter is lost.

#include <atomic>
#include <cstdint>
#include <functional>

#include "adapter_clock.h"
#include "frame_sink.h"

class ChannelReader {
public:
    ChannelReader(std::uint32_t device, std::uint32_t channel, ulmar_tools::AdapterClock& clock,
                  FrameSink& sink);

    void run(const std::function<bool()>& keepGoing);

    // Frames the adapter lost to a full receive buffer while we ran. Read
    // after the thread has ended.
    std::uint64_t overruns() const { return overruns_; }

private:
    // Receives once; the number of frames, or -1 when the call failed.
    int receiveOnce(std::int32_t waitMs);
    void pollOverruns();

    const std::uint32_t device_;
    const std::uint32_t channel_;
    ulmar_tools::AdapterClock& clock_;
    FrameSink& sink_;
    bool haveOverrunBase_ = false;
    std::uint8_t lastOverrunByte_ = 0;
    std::uint64_t overruns_ = 0;
};
