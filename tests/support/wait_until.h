#pragma once

#include <chrono>
#include <thread>

namespace tessel::test {

// How long a test waits for an outcome before it gives up; the GUI tests'
// QTRY_*_WITH_TIMEOUT take it too.
inline constexpr std::chrono::milliseconds kPatience{30000};
inline constexpr int kPatienceMs = static_cast<int>(kPatience.count());

// Polls a condition until it holds or a generous time-out passes. Tests wait
// for outcomes with it, never for a fixed time: on a loaded machine only the
// outcome is certain, not how soon it comes.
template <class TCondition>
bool WaitUntil(TCondition condition, std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace tessel::test
