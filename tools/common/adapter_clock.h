#pragma once

// Turns the adapter's 0.1 ms frame stamps into wall-clock time. The adapter
// counts from an arbitrary origin and wraps at 32 bits (about five days), so
// the first stamp seen is tied to the wall clock once, and each channel's
// later stamps advance from its previous one by their unsigned difference.
//
// Shared: every receive thread calls toWallClock for its own channel; the
// tie to the wall clock is made once, under a lock.

#include <array>
#include <cstdint>
#include <mutex>

namespace ulmar_tools {

class AdapterClock {
public:
    static constexpr std::size_t kChannels = 2;

    // Microseconds since the Unix epoch for a stamp received on `channel`.
    std::int64_t toWallClock(std::size_t channel, std::uint32_t stamp);

private:
    struct ChannelTrack {
        bool seen = false;
        std::uint32_t lastStamp = 0;
        std::int64_t lastTicks = 0; // 0.1 ms since the tie's stamp, unwrapped
    };

    std::mutex tieLock_; // guards the three tie fields
    bool tied_ = false;
    std::uint32_t tieStamp_ = 0;
    std::int64_t tieWallUs_ = 0;
    std::array<ChannelTrack, kChannels> tracks_{}; // each touched by its channel's thread only
};

// The host's wall clock in microseconds since the Unix epoch.
std::int64_t wallClockUs();

} // namespace ulmar_tools
