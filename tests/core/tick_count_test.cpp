#include <filesystem>

#include <gtest/gtest.h>

#include "platform/executable_dir.h"
#include "platform/tick_count.h"
#include "test_support.h"

TEST(TickCount, HostCounterAdvancesInMilliseconds) {
    const std::uint32_t start = platform::TickCount();
    platform::SleepMs(20);
    const std::uint32_t elapsed = platform::TickCount() - start;
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 10000u);
}

TEST(TickCount, ReplaceableSourceDrivesTheCounterAndIsRestored) {
    const std::uint32_t hostBefore = platform::TickCount();
    {
        coretest::FakeTicks ticks(0xFFFFFFFEu);
        EXPECT_EQ(platform::TickCount(), 0xFFFFFFFEu);
        ticks.Set(3);
        EXPECT_EQ(platform::TickCount(), 3u);
        EXPECT_EQ(platform::TickCount() - 0xFFFFFFFEu, 5u); // a wrap compares right
    }
    EXPECT_LT(platform::TickCount() - hostBefore, 10000u);
}

TEST(ExecutableDir, IsTheFolderOfThisTestWithASeparator) {
    const std::string dir = platform::ExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "core_platform_test"));
}
