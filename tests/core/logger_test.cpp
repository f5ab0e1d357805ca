#include <gtest/gtest.h>

#include "model/logger.h"

TEST(Logger, LinesComeOutInOrderExactlyAsGiven) {
    TLogger logger;
    EXPECT_TRUE(logger.IsEmpty());
    logger.Add("A");
    logger.Add("");
    logger.Add("** TZlgThreadRead start");
    EXPECT_FALSE(logger.IsEmpty());

    std::string line;
    ASSERT_TRUE(logger.Pop(line));
    EXPECT_EQ(line, "A");
    ASSERT_TRUE(logger.Pop(line));
    EXPECT_EQ(line, ""); // an empty line is a line
    EXPECT_FALSE(logger.IsEmpty());
    ASSERT_TRUE(logger.Pop(line));
    EXPECT_EQ(line, "** TZlgThreadRead start");
    EXPECT_TRUE(logger.IsEmpty());
}

TEST(Logger, PopOnAnEmptyLoggerGivesEmptyText) {
    TLogger logger;
    std::string line = "stale";
    EXPECT_FALSE(logger.Pop(line));
    EXPECT_EQ(line, "");
    EXPECT_TRUE(logger.IsEmpty());
}
