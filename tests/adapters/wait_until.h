#pragma once

#include <chrono>
#include <thread>

// Polls a condition until it holds or a generous time-out passes; for tests
// on a loaded machine, where only the outcome matters, not the speed.
template <class TCondition>
bool WaitUntil(TCondition condition, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
