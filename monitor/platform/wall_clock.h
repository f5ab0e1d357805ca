#pragma once

#include <cstdint>

namespace platform {

// The host's wall clock in microseconds since the Unix epoch. Unlike the tick
// counter it may jump when the clock is set; it gives trace entries and logs
// their calendar time.
std::int64_t WallClockUs();

} // namespace platform
