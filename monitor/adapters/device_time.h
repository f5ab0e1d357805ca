#pragma once

#include <cstdint>

// Converts a span of device time (units of 0.1 ms) to milliseconds, rounded
// to the nearest integer with halves going to the even neighbour.
constexpr uint32_t DeviceUnitsToMs(uint32_t units) {
    uint32_t ms = units / 10;
    const uint32_t rest = units % 10;
    if (rest > 5 || (rest == 5 && (ms & 1u) != 0)) {
        ++ms;
    }
    return ms;
}
