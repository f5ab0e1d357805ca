#pragma once

#include <cstdint>

#include "platform/tick_count.h"

namespace tessel::test {

// Drives platform::TickCount() from the test while alive; any thread may
// read the tick, only the test sets it.
class FakeTicks {
public:
    explicit FakeTicks(std::uint32_t start = 0);
    ~FakeTicks();
    FakeTicks(const FakeTicks&) = delete;
    FakeTicks& operator=(const FakeTicks&) = delete;

    void Set(std::uint32_t now);
    void Advance(std::uint32_t milliseconds);
    std::uint32_t Now() const;

private:
    platform::TickSource FPrevious;
};

} // namespace tessel::test
