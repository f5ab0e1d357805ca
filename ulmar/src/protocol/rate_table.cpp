#include "protocol/rate_table.h"

#include <cmath>

namespace ulmar {
namespace {

constexpr int kClockKhz = 8000;
constexpr int kMinQuanta = 8;   // 1000 kbit/s
constexpr int kMaxQuanta = 800; // 10 kbit/s
constexpr int kMaxPrescaler = 32;
constexpr int kMinBitTime = 5;
constexpr int kMaxBitTime = 25;

// Up to 19 quanta: segment 2 of 2 quanta and segment 1 of the rest; from 20
// quanta on, segment 1 stays at its maximum of 16 and segment 2 grows.
std::uint8_t btr1For(int bitTime) {
    if (bitTime <= 19)
        return static_cast<std::uint8_t>(0x10 + (bitTime - 4));
    return static_cast<std::uint8_t>((bitTime - 18) * 16 + 0x0F);
}

std::array<RateRow, kRateRows + 1> buildTable() {
    std::array<RateRow, kRateRows + 1> table{};
    std::size_t row = 0;
    for (int quanta = kMinQuanta; quanta <= kMaxQuanta && row < kRateRows; ++quanta) {
        for (int prescaler = 1; prescaler <= kMaxPrescaler; ++prescaler) {
            const int bitTime = quanta / prescaler;
            if (quanta % prescaler != 0 || bitTime < kMinBitTime || bitTime > kMaxBitTime)
                continue;
            const double rate = std::round(double(kClockKhz) / quanta * 1000.0) / 1000.0;
            table[row++] = {rate, static_cast<std::uint8_t>(prescaler - 1), btr1For(bitTime)};
            break;
        }
    }
    table[kRateRows] = {0.0, 0, 0};
    return table;
}

const std::array<RateRow, kRateRows + 1> gRateTable = buildTable();

} // namespace

const std::array<RateRow, kRateRows + 1>& rateTable() {
    return gRateTable;
}

std::uint32_t nearestRateRow(double rateKbps) {
    std::uint32_t row = 1;
    while (row < kRateRows && std::fabs(rateKbps - gRateTable[row].rateKbps) <=
                                  std::fabs(rateKbps - gRateTable[row - 1].rateKbps))
        ++row;
    return row - 1;
}

} // namespace ulmar
