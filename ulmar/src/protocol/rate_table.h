// The built-in bit rate table: every rate an 8 MHz time-quantum clock can
// produce with a prescaler of 1 to 32 and a bit time of 5 to 25 quanta, from
// 1000 kbit/s down to 10 kbit/s, then a sentinel row of rate 0.
#pragma once

#include <array>
#include <cstdint>

namespace ulmar {

struct RateRow {
    double rateKbps; // rounded to 3 decimals
    std::uint8_t btr0;
    std::uint8_t btr1;
};

constexpr std::size_t kRateRows = 311;

// kRateRows rows in strictly descending rate, then the sentinel.
const std::array<RateRow, kRateRows + 1>& rateTable();

// The row nearest to `rateKbps` (10 to 1000); a rate exactly between two
// rows chooses the lower one.
std::uint32_t nearestRateRow(double rateKbps);

} // namespace ulmar
