#include <filesystem>

#include <gtest/gtest.h>

#include "platform/text_file.h"
#include "test_support.h"

using coretest::ReadFile;
using coretest::TempDir;
using coretest::WriteFile;

TEST(TextFile, ReplaceWritesTheNewContentAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string name = dir.File("list.dat");
    WriteFile(name, "old content that is longer\r\n");
    std::string error;
    ASSERT_TRUE(platform::ReplaceFile(name, "new\r\n", &error)) << error;
    EXPECT_EQ(ReadFile(name), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(name + ".new"));
}

TEST(TextFile, AFailedReplaceKeepsTheOldFileAndSaysWhy) {
    TempDir dir;
    const std::string name = dir.File("list.dat");
    WriteFile(name, "old\r\n");
    std::filesystem::create_directory(name + ".new");
    std::string error;
    EXPECT_FALSE(platform::ReplaceFile(name, "new\r\n", &error));
    EXPECT_NE(error.find(name), std::string::npos) << error;
    EXPECT_EQ(ReadFile(name), "old\r\n");
}

TEST(TextFile, AFailedRenameRemovesTheNewFile) {
    TempDir dir;
    const std::string name = dir.File("busy");
    std::filesystem::create_directories(name + "/inside"); // a folder that rename cannot replace
    std::string error;
    EXPECT_FALSE(platform::ReplaceFile(name, "new\r\n", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(name + ".new"));
}

TEST(TextFile, ReadingReportsMissingAndUnreadableFiles) {
    TempDir dir;
    std::string content = "stale";
    std::string error;
    EXPECT_FALSE(platform::ReadWholeFile(dir.File("missing"), content, &error));
    EXPECT_TRUE(content.empty());
    EXPECT_FALSE(error.empty());

    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_FALSE(platform::ReadWholeFile(dir.File("folder"), content, &error));

    WriteFile(dir.File("bytes"), std::string("a\0b\xff", 4));
    ASSERT_TRUE(platform::ReadWholeFile(dir.File("bytes"), content, &error));
    EXPECT_EQ(content, std::string("a\0b\xff", 4));
}
