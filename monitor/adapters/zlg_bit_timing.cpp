#include "adapters/zlg_bit_timing.h"

#include <array>

namespace {

struct TRateTiming {
    int32_t Rate;
    TZlgBitTiming Timing;
};

// Values for an 8 MHz time-quantum clock. The 10000 entry really describes
// 5 kbit/s (prescaler 64); it is kept because that is what the adapter family
// has always been given for this rate.
constexpr std::array<TRateTiming, 15> RateTimings{{
    {5000, {0xFF, 0xFF}},
    {10000, {0xBF, 0xFF}},
    {20000, {0x18, 0x1C}},
    {40000, {0x87, 0xFF}},
    {50000, {0x09, 0x1C}},
    {80000, {0x83, 0xFF}},
    {100000, {0x04, 0x1C}},
    {125000, {0x03, 0x1C}},
    {200000, {0x81, 0xFA}},
    {250000, {0x01, 0x1C}},
    {400000, {0x80, 0xFA}},
    {500000, {0x00, 0x1C}},
    {666000, {0x80, 0xB6}},
    {800000, {0x00, 0x16}},
    {1000000, {0x00, 0x14}},
}};

} // namespace

TZlgBitTiming ZlgBitTimingFor(int32_t rate) {
    for (const TRateTiming& entry : RateTimings) {
        if (entry.Rate == rate) {
            return entry.Timing;
        }
    }
    return {0x00, 0x00};
}

void SetBitTiming(int32_t rate, VciInitConfig& config) {
    const TZlgBitTiming timing = ZlgBitTimingFor(rate);
    config.filterKind = 1;
    config.btr0 = timing.Btr0;
    config.btr1 = timing.Btr1;
}
