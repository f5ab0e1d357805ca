#include "verbose_log.h"

#include <chrono>
#include <cstdio>

namespace emu {
namespace {
const auto kStart = std::chrono::steady_clock::now();
}

void VerboseLog::print(const std::string& text) {
    if (!enabled_)
        return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - kStart).count();
    std::lock_guard lock(mutex_);
    std::printf("[%10.3f] %s\n", seconds, text.c_str());
    std::fflush(stdout);
}

} // namespace emu
