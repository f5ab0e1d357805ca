// Bus figures: frame bit lengths, the totals a channel keeps and the rates the
// meter derives from them.

#include <gtest/gtest.h>

#include "frames.h"
#include "model/frame_bits.h"
#include "views/bus_counters.h"
#include "views/channel_health.h"

namespace {

using coretest::MakeFrame;

TEST(FrameBits, CountTheWorstCaseStuffBitsOfEveryKind) {
    EXPECT_EQ(FrameBitCount(MakeFrame(0x7FF, true, false, 0)), 55u);
    EXPECT_EQ(FrameBitCount(MakeFrame(0x7FF, true, false, 8)), 135u);
    EXPECT_EQ(FrameBitCount(MakeFrame(0x1FFFFFFF, false, false, 0)), 80u);
    EXPECT_EQ(FrameBitCount(MakeFrame(0x1FFFFFFF, false, false, 8)), 160u);
    EXPECT_EQ(FrameBitCount(MakeFrame(0x100, true, true, 8)), 55u) << "a request carries no data";
    EXPECT_EQ(FrameBitCount(MakeFrame(0x100, true, false, 15)), 135u) << "length codes above 8";
}

TEST(BusMeter, RatesCoverTheLastTwoSecondsAndSurviveTheTickWrap) {
    TBusCounters counters;
    TBusMeter meter;
    const std::uint32_t start = 0xFFFFFF00u; // wraps 256 ms later
    meter.Restart(start, counters.Snapshot());

    // 500 ms with 1000 received frames of 135 bits and 10 sent of 55 bits at 500 kbit/s.
    counters.AddReceived(1000, 135'000);
    for (int i = 0; i < 10; ++i)
        counters.AddSent(MakeFrame(0x7FF, true, false, 0));
    counters.AddDropped(3);
    TControllerStatus controller;
    controller.Valid = true;
    controller.Overruns = 4;
    const TChannelHealth health =
        meter.Sample(start + 500, counters.Snapshot(), controller, 500'000);
    EXPECT_DOUBLE_EQ(health.FramesPerSecond, 2020.0);
    EXPECT_DOUBLE_EQ(health.LoadPercent, 100.0 * 135'550 / (0.5 * 500'000));
    EXPECT_EQ(health.Received, 1000u);
    EXPECT_EQ(health.Sent, 10u);
    EXPECT_EQ(health.Lost, 7u) << "adapter overruns plus the monitor's own drops";

    // Nothing more: a second later the rate covers both samples, then the
    // burst leaves the window and the rates fall to zero; the totals stay.
    const TChannelHealth later =
        meter.Sample(start + 1000, counters.Snapshot(), controller, 500'000);
    EXPECT_DOUBLE_EQ(later.FramesPerSecond, 1010.0);
    const TChannelHealth quiet =
        meter.Sample(start + 2600, counters.Snapshot(), controller, 500'000);
    EXPECT_EQ(quiet.FramesPerSecond, 0.0);
    EXPECT_EQ(quiet.LoadPercent, 0.0);
    EXPECT_EQ(quiet.Received, 1000u);

    // A sample at the moment of a restart has no time to divide by.
    meter.Restart(start + 3000, counters.Snapshot());
    EXPECT_EQ(meter.Sample(start + 3000, counters.Snapshot(), controller, 500'000).FramesPerSecond,
              0.0);
}

TEST(BusMeter, TextNamesEveryFigure) {
    TChannelHealth health;
    health.FramesPerSecond = 1234.4;
    health.LoadPercent = 45.66;
    health.Received = 4'000'000'000u;
    health.Sent = 12;
    health.Lost = 3;
    health.Controller.Valid = true;
    health.Controller.ReceiveErrors = 5;
    health.Controller.TransmitErrors = 130;
    health.Controller.State = TControllerState::ErrorPassive;
    EXPECT_EQ(HealthText(0, health), "#1  1234 fr/s  45.7 %  rx 4000000000  tx 12  lost 3  "
                                     "err 5/130  Error passive");
    health.Controller = {};
    health.Controller.ErrorCode = 0x1A;
    EXPECT_EQ(HealthText(1, health), "#2  1234 fr/s  45.7 %  rx 4000000000  tx 12  lost 3  err -  "
                                     "-  code 0x1A");
}

} // namespace
