#pragma once

// Where ulmar-dump's receive threads put their frames: one log writer behind
// a lock, the per-channel counts and the stop conditions.
//
// Shared: each channel's receive thread calls add and adapterLost; the main
// thread calls flush, finished and the readers after joining them. One lock
// guards everything below it.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "log_frame.h"
#include "log_writer.h"

class FrameSink {
public:
    // `maxFrames` 0: no limit.
    FrameSink(canlog::LogWriter& writer, std::uint64_t maxFrames);

    // Writes the frames in order, up to the frame limit. False once the sink
    // is finished (limit reached, write failed or adapter lost).
    bool add(const std::vector<canlog::LogFrame>& frames);
    void adapterLost(const std::string& message);
    bool flush();
    bool finished() const;

    std::array<std::uint64_t, 2> framesPerChannel() const;
    // The first failure's message, empty when none.
    std::string failure() const;

private:
    mutable std::mutex lock_;
    canlog::LogWriter& writer_;
    const std::uint64_t maxFrames_;
    std::uint64_t written_ = 0;
    std::array<std::uint64_t, 2> perChannel_{};
    bool limitReached_ = false;
    std::string failure_;
};
