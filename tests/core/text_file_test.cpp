#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "full_disk.h"
#include "platform/text_file.h"
#include "test_support.h"

using coretest::ReadFile;
using coretest::TempDir;
using coretest::WriteFile;

// Files in the folder other than the given ones: a left-over temporary file.
std::vector<std::string> OtherFiles(const TempDir& dir, const std::string& keep) {
    std::vector<std::string> others;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        if (entry.path().filename() != keep)
            others.push_back(entry.path().filename().string());
    return others;
}

TEST(TextFile, ReplaceWritesTheNewContentAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string name = dir.File("list.dat");
    WriteFile(name, "old content that is longer\r\n");
    std::string error;
    ASSERT_TRUE(platform::ReplaceFile(name, "new\r\n", &error)) << error;
    EXPECT_EQ(ReadFile(name), "new\r\n");
    EXPECT_EQ(OtherFiles(dir, "list.dat"), std::vector<std::string>{});
}

TEST(TextFile, AFailedReplaceKeepsTheOldFileAndSaysWhy) {
    TempDir dir;
    const std::string name = dir.File("list.dat");
    WriteFile(name, "old\r\n");
    std::string error;
    bool replaced = false;
    {
        tessel::test::FullDisk full(1024); // writes beyond 1 KiB fail
        ASSERT_TRUE(full.Active());
        replaced = platform::ReplaceFile(name, std::string(64 * 1024, 'x'), &error);
    }
    EXPECT_FALSE(replaced);
    EXPECT_NE(error.find(name), std::string::npos) << error;
    EXPECT_EQ(ReadFile(name), "old\r\n");
    EXPECT_EQ(OtherFiles(dir, "list.dat"), std::vector<std::string>{});
}

TEST(TextFile, AFailedRenameRemovesTheNewFile) {
    TempDir dir;
    const std::string name = dir.File("busy");
    std::filesystem::create_directories(name + "/inside"); // a folder that rename cannot replace
    std::string error;
    EXPECT_FALSE(platform::ReplaceFile(name, "new\r\n", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(OtherFiles(dir, "busy"), std::vector<std::string>{});
}

// Two savers of one file at once, as two instances of the program would be:
// each save succeeds and the file always holds one complete content.
TEST(TextFile, SavesRunningAtOnceNeverShareATemporaryFile) {
    TempDir dir;
    const std::string name = dir.File("list.dat");
    const std::string contents[2] = {std::string(20000, 'a'), std::string(30000, 'b')};
    int failures[2] = {0, 0};
    std::vector<std::thread> savers;
    for (int t = 0; t < 2; ++t)
        savers.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                if (!platform::ReplaceFile(name, contents[t], nullptr))
                    ++failures[t];
        });
    for (auto& saver : savers)
        saver.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
    const std::string final = ReadFile(name);
    EXPECT_TRUE(final == contents[0] || final == contents[1]) << final.size() << " bytes";
    EXPECT_EQ(OtherFiles(dir, "list.dat"), std::vector<std::string>{});
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
