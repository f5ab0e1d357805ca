#include <gtest/gtest.h>

#include "bit_timing.h"

namespace emu {
namespace {

TEST(BitTiming, DecodesCommonRatesOnTheEightMegahertzScale) {
    EXPECT_DOUBLE_EQ(decodeBitTiming(0x00, 0x14).bitRate(), 1'000'000.0);
    EXPECT_DOUBLE_EQ(decodeBitTiming(0x00, 0x1C).bitRate(), 500'000.0);
    EXPECT_DOUBLE_EQ(decodeBitTiming(0x01, 0x1C).bitRate(), 250'000.0);
    EXPECT_DOUBLE_EQ(decodeBitTiming(0x03, 0x1C).bitRate(), 125'000.0);
    EXPECT_DOUBLE_EQ(decodeBitTiming(0x1F, 0x7F).bitRate(), 10'000.0);
    EXPECT_NEAR(decodeBitTiming(0x01, 0x19).bitRate(), 307'692.3, 0.1);
}

TEST(BitTiming, IgnoresJumpWidthAndSamplingBitsWhenComparingRates) {
    // SJW (btr0 bits 6-7) and triple sampling (btr1 bit 7) do not change the rate.
    EXPECT_EQ(decodeBitTiming(0xC0, 0x14), decodeBitTiming(0x00, 0x14));
    EXPECT_EQ(decodeBitTiming(0x00, 0x94), decodeBitTiming(0x00, 0x14));
    // Different segment splits of the same bit time are the same rate.
    EXPECT_EQ(decodeBitTiming(0x00, 0x23), decodeBitTiming(0x00, 0x14));
    EXPECT_NE(decodeBitTiming(0x00, 0x1C), decodeBitTiming(0x00, 0x14));
}

TEST(BitTiming, PrescalerUsesAllSixBits) {
    // Prescaler 64, 25 quanta: 8 MHz / 1600 = 5 kbit/s.
    EXPECT_DOUBLE_EQ(decodeBitTiming(0x3F, 0x7F).bitRate(), 5'000.0);
}

CanFrame frame(bool extended, bool remote, std::uint8_t length) {
    CanFrame f;
    f.extended = extended;
    f.remote = remote;
    f.length = length;
    return f;
}

TEST(BitTiming, FrameBitCountsUseWorstCaseStuffing) {
    EXPECT_EQ(frameBitCount(frame(false, false, 0)), 55u);
    EXPECT_EQ(frameBitCount(frame(false, false, 8)), 135u);
    EXPECT_EQ(frameBitCount(frame(true, false, 0)), 80u);
    EXPECT_EQ(frameBitCount(frame(true, false, 8)), 160u);
    // A remote frame carries no data whatever its length code says.
    EXPECT_EQ(frameBitCount(frame(false, true, 8)), 55u);
    // A length code above 8 still means 8 bytes.
    EXPECT_EQ(frameBitCount(frame(false, false, 15)), 135u);
}

TEST(BitTiming, FrameDurationGivesRealWorldRates) {
    using std::chrono::nanoseconds;
    const auto oneMegabit = decodeBitTiming(0x00, 0x14);
    EXPECT_EQ(frameDuration(frame(false, false, 8), oneMegabit), nanoseconds(135'000));
    // About 7400 full standard frames per second at 1 Mbit/s.
    const double perSecond =
        1e9 / double(frameDuration(frame(false, false, 8), oneMegabit).count());
    EXPECT_GT(perSecond, 7000.0);
    EXPECT_LT(perSecond, 9000.0);
    EXPECT_EQ(frameDuration(frame(false, false, 8), decodeBitTiming(0x01, 0x1C)),
              nanoseconds(540'000));
    EXPECT_EQ(frameDuration(frame(false, false, 8), BitTiming{}), nanoseconds(0));
}

} // namespace
} // namespace emu
