#include "adapter_clock.h"

#include <chrono>

namespace ulmar_tools {

std::int64_t wallClockUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t AdapterClock::toWallClock(std::size_t channel, std::uint32_t stamp) {
    std::uint32_t tieStamp = 0;
    std::int64_t tieWallUs = 0;
    {
        std::lock_guard<std::mutex> lock(tieLock_);
        if (!tied_) {
            tied_ = true;
            tieStamp_ = stamp;
            tieWallUs_ = wallClockUs();
        }
        tieStamp = tieStamp_;
        tieWallUs = tieWallUs_;
    }
    ChannelTrack& track = tracks_[channel % kChannels];
    if (!track.seen) {
        track.seen = true;
        // Signed: a channel's first frame may be a little older than the tie.
        track.lastTicks = static_cast<std::int32_t>(stamp - tieStamp);
    } else {
        track.lastTicks += static_cast<std::uint32_t>(stamp - track.lastStamp);
    }
    track.lastStamp = stamp;
    return tieWallUs + track.lastTicks * 100;
}

} // namespace ulmar_tools
