#include "platform/wall_clock.h"

#include <chrono>

namespace platform {

std::int64_t WallClockUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace platform
