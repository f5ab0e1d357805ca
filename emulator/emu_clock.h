#pragma once

// The adapter's time base: time stamps count 0.1 ms since the emulator
// started and wrap as 32-bit numbers, like a free-running hardware counter.

#include <chrono>
#include <cstdint>

namespace emu {

class EmuClock {
public:
    using Clock = std::chrono::steady_clock;

    EmuClock() : start_(Clock::now()) {}
    explicit EmuClock(Clock::time_point start) : start_(start) {}

    std::uint32_t ticksAt(Clock::time_point t) const {
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(t - start_);
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(elapsed.count()) / 100);
    }

private:
    const Clock::time_point start_; // immutable after construction; read by every thread
};

} // namespace emu
