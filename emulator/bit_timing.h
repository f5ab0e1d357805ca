#pragma once

// Bit timing of the adapter's CAN controllers (SJA1000 register layout, 8 MHz
// time-quantum clock) and the bus time a frame needs.

#include <chrono>
#include <cstdint>

#include "can_frame.h"

namespace emu {

constexpr std::uint32_t kQuantumClockHz = 8'000'000;

// Time quanta per bit times the prescaler: the number of 8 MHz clock periods
// one bit lasts. Two channels run at the same bit rate exactly when their
// values are equal, so the bus compares these integers rather than rates.
struct BitTiming {
    std::uint32_t clocksPerBit = 0; // 0 = no valid timing configured

    bool valid() const { return clocksPerBit != 0; }
    double bitRate() const { return valid() ? double(kQuantumClockHz) / clocksPerBit : 0.0; }
    bool operator==(const BitTiming&) const = default;
};

// Decodes btr0 (bits 0-5 prescaler - 1, bits 6-7 SJW - 1) and btr1 (bits 0-3
// segment 1 - 1, bits 4-6 segment 2 - 1, bit 7 triple sampling). A bit lasts
// 1 + segment 1 + segment 2 quanta of prescaler clocks each.
BitTiming decodeBitTiming(std::uint8_t btr0, std::uint8_t btr1);

// Bits one frame occupies on the bus including the 3-bit intermission, with
// the worst-case number of stuff bits. Worst case keeps the simulated rate a
// safe lower bound of what real hardware would carry.
std::uint32_t frameBitCount(const CanFrame& frame);

// Bus time of `frame` at `timing` (zero for an invalid timing).
std::chrono::nanoseconds frameDuration(const CanFrame& frame, BitTiming timing);

} // namespace emu
