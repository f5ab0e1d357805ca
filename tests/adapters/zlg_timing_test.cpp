#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "adapters/device_time.h"
#include "adapters/zlg_bit_timing.h"
#include "adapters/zlg_thread_read.h"
#include "fake_ticks.h"
#include "fake_vci.h"
#include "platform/tick_count.h"

namespace {

struct TRatePair {
    int32_t Rate;
    uint8_t Btr0;
    uint8_t Btr1;
};

TEST(ZlgBitTimingTest, EveryTableRateGetsItsPair) {
    const TRatePair pairs[] = {
        {5000, 0xFF, 0xFF},   {10000, 0xBF, 0xFF},  {20000, 0x18, 0x1C},   {40000, 0x87, 0xFF},
        {50000, 0x09, 0x1C},  {80000, 0x83, 0xFF},  {100000, 0x04, 0x1C},  {125000, 0x03, 0x1C},
        {200000, 0x81, 0xFA}, {250000, 0x01, 0x1C}, {400000, 0x80, 0xFA},  {500000, 0x00, 0x1C},
        {666000, 0x80, 0xB6}, {800000, 0x00, 0x16}, {1000000, 0x00, 0x14},
    };
    for (const TRatePair& pair : pairs) {
        VciInitConfig config{};
        SetBitTiming(pair.Rate, config);
        EXPECT_EQ(config.filterKind, 1) << pair.Rate;
        EXPECT_EQ(config.btr0, pair.Btr0) << pair.Rate;
        EXPECT_EQ(config.btr1, pair.Btr1) << pair.Rate;
    }
}

TEST(ZlgBitTimingTest, OtherRatesGetZeroes) {
    for (int32_t rate : {0, -1, 33333, 250001, 2000000}) {
        VciInitConfig config{};
        config.btr0 = 0x55;
        config.btr1 = 0x55;
        SetBitTiming(rate, config);
        EXPECT_EQ(config.filterKind, 1);
        EXPECT_EQ(config.btr0, 0x00) << rate;
        EXPECT_EQ(config.btr1, 0x00) << rate;
    }
}

TEST(DeviceTimeTest, UnitsRoundToTheNearestMillisecondHalvesToEven) {
    EXPECT_EQ(DeviceUnitsToMs(0), 0u);
    EXPECT_EQ(DeviceUnitsToMs(4), 0u);
    EXPECT_EQ(DeviceUnitsToMs(5), 0u);
    EXPECT_EQ(DeviceUnitsToMs(6), 1u);
    EXPECT_EQ(DeviceUnitsToMs(15), 2u);
    EXPECT_EQ(DeviceUnitsToMs(25), 2u);
    EXPECT_EQ(DeviceUnitsToMs(12345), 1234u);
    EXPECT_EQ(DeviceUnitsToMs(12355), 1236u);
    EXPECT_EQ(DeviceUnitsToMs(12349), 1235u);
    EXPECT_EQ(DeviceUnitsToMs(0xFFFFFFFFu), 429496730u);
}

class DeviceTimeToTickTest : public ::testing::Test {
protected:
    TFakeVci FVci;
    tessel::test::FakeTicks FakeTick;
};

TEST_F(DeviceTimeToTickTest, FirstStampAnchorsAtTheCurrentTick) {
    FakeTick.Set(50000);
    TZlgThreadRead thread(FVci, 4, 0, 0);
    EXPECT_EQ(thread.DeviceTimeToTick(777000), 50000u);
    FakeTick.Set(90000); // later calls do not read the clock
    EXPECT_EQ(thread.DeviceTimeToTick(777000 + 12345), 50000u + 1234);
    EXPECT_EQ(thread.DeviceTimeToTick(777000 + 12355), 50000u + 1236);
    EXPECT_EQ(thread.DeviceTimeToTick(777000), 50000u);
}

TEST_F(DeviceTimeToTickTest, StampBelowTheBaseWrapsInsteadOfGoingBack) {
    FakeTick.Set(1000);
    TZlgThreadRead thread(FVci, 4, 0, 0);
    thread.DeviceTimeToTick(100);
    // 10 units below the base is 2^32 - 10 units later, 429496729.4 ms.
    EXPECT_EQ(thread.DeviceTimeToTick(90), 1000u + 429496729u);
}

TEST_F(DeviceTimeToTickTest, DeviceCounterWrapAndTickWrapStayContinuous) {
    FakeTick.Set(0xFFFFFF00u);
    TZlgThreadRead thread(FVci, 4, 0, 0);
    thread.DeviceTimeToTick(0xFFFFFFF6u);
    // 20 units later, across the device counter's wrap: 2 ms.
    EXPECT_EQ(thread.DeviceTimeToTick(10), 0xFFFFFF02u);
    // 1000 ms later the host scale wraps as well.
    EXPECT_EQ(thread.DeviceTimeToTick(0xFFFFFFF6u + 10000u), 0xFFFFFF00u + 1000u);
}

TEST_F(DeviceTimeToTickTest, EveryThreadTakesItsOwnBase) {
    FakeTick.Set(100);
    TZlgThreadRead first(FVci, 4, 0, 0);
    first.DeviceTimeToTick(5000);
    FakeTick.Set(7000);
    TZlgThreadRead second(FVci, 4, 0, 0);
    EXPECT_EQ(second.DeviceTimeToTick(5000 + 10), 7000u);
    EXPECT_EQ(first.DeviceTimeToTick(5000 + 10), 101u);
}

} // namespace
