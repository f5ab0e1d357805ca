#include "platform/tick_count.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {
namespace {

// Milliseconds of the monotonic clock (time since system start on Linux and
// Windows), cut to 32 bits so that it wraps like the Windows tick count.
std::uint32_t HostTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::uint32_t>(ms);
}

std::atomic<TickSource> gTickSource{&HostTickCount};

} // namespace

std::uint32_t TickCount() {
    return gTickSource.load(std::memory_order_acquire)();
}

TickSource SetTickSource(TickSource source) {
    return gTickSource.exchange(source != nullptr ? source : &HostTickCount);
}

void SleepMs(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace platform
