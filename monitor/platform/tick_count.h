#pragma once

#include <cstdint>

namespace platform {

// The host's millisecond tick counter: unsigned 32-bit, wraps after 2^32 ms,
// monotonic with 1 ms resolution. Every host time in the monitor is on this
// scale and is compared by unsigned 32-bit subtraction.
std::uint32_t TickCount();

// A replacement tick source, for driving wrap cases in tests. Set it before
// the threads that read the counter start; nullptr restores the host counter.
// Returns the source that was in force before.
using TickSource = std::uint32_t (*)();
TickSource SetTickSource(TickSource source);

// Sleeps the calling thread for at least the given number of milliseconds.
void SleepMs(std::uint32_t ms);

} // namespace platform
