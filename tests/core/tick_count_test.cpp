#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "fake_ticks.h"
#include "platform/executable_dir.h"
#include "platform/tick_count.h"
#include "test_support.h"

// The counter keeps pace with the monotonic clock in whole milliseconds:
// what it counts across a sleep lies between what the clock saw inside and
// outside the two reads, give or take one for the rounding at each end.
TEST(TickCount, HostCounterKeepsPaceWithTheMonotonicClock) {
    using std::chrono::steady_clock;
    const auto toMs = [](steady_clock::duration d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    const auto outerStart = steady_clock::now();
    const std::uint32_t start = platform::TickCount();
    const auto innerStart = steady_clock::now();
    platform::SleepMs(20);
    const auto innerEnd = steady_clock::now();
    const std::uint32_t elapsed = platform::TickCount() - start;
    const auto outerEnd = steady_clock::now();

    EXPECT_GE(toMs(innerEnd - innerStart), 20); // the sleep lasts at least as asked
    EXPECT_GE(static_cast<long long>(elapsed) + 1, toMs(innerEnd - innerStart));
    EXPECT_LE(static_cast<long long>(elapsed), toMs(outerEnd - outerStart) + 1);
}

TEST(TickCount, ReplaceableSourceDrivesTheCounterAndIsRestored) {
    const std::uint32_t hostBefore = platform::TickCount();
    {
        tessel::test::FakeTicks ticks(0xFFFFFFFEu);
        EXPECT_EQ(platform::TickCount(), 0xFFFFFFFEu);
        ticks.Set(3);
        EXPECT_EQ(platform::TickCount(), 3u);
        EXPECT_EQ(platform::TickCount() - 0xFFFFFFFEu, 5u); // a wrap compares right
    }
    // The host counter is back: it has not jumped to the fake one's values.
    EXPECT_LT(platform::TickCount() - hostBefore, 0x80000000u);
}

TEST(ExecutableDir, IsTheFolderOfThisTestWithASeparator) {
    const std::string dir = platform::ExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "core_platform_test"));
}
