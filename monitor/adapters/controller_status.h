#pragma once

#include <cstdint>

#include "views/channel_health.h"

struct VciCanStatus;

// Reads the adapter's controller status record: SJA1000-style status register
// (bit 6 error warning, bit 7 bus-off), the receive and transmit error
// counters in register bytes 0 and 1, and the receive overrun count, a
// 16-bit count that wraps, low byte in register byte 2 and high byte in the
// extra word.
class TControllerStatusReader {
public:
    // Takes one record; the first one after Restart sets the overrun baseline.
    TControllerStatus Take(const VciCanStatus& record);
    // Overruns count from the next record on (the channel was just opened).
    void Restart() { FHaveBaseline = false; }

private:
    bool FHaveBaseline = false;
    std::uint16_t FLastCount = 0;
    std::uint64_t FOverruns = 0;
};
