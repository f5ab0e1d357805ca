#include <filesystem>

#include <gtest/gtest.h>

#include "full_disk.h"
#include "platform/executable_dir.h"
#include "test_support.h"
#include "transmit/send_list.h"

using coretest::ReadFile;
using coretest::TempDir;
using coretest::WriteFile;

namespace {

void Name(TCanSendList& list, const TempDir& dir, const std::string& name = "zlg_ch0") {
    list.Name = name;
    list.SetDirectory(dir.Path());
}

} // namespace

TEST(SendListFile, FileNameBesideTheExecutable) {
    TCanSendList list;
    list.Name = "zlg_ch1";
    EXPECT_EQ(list.GetFileName(), platform::ExecutableDir() + "trans_list_zlg_ch1.dat");
    list.Name.clear(); // an unnamed list writes nothing when freed
}

TEST(SendListFile, MissingFileIsAnEmptyList) {
    TempDir dir;
    TCanSendList list;
    Name(list, dir);
    EXPECT_TRUE(list.Load());
    EXPECT_EQ(list.Count(), 0);
}

TEST(SendListFile, LoadSkipsEmptyAndRejectedLinesAndAppends) {
    TempDir dir;
    WriteFile(dir.File("trans_list_zlg_ch0.dat"), "1;3E8;1;123;0;2;1122;Engine;\r\n"
                                                  "\r\n"
                                                  "9;0;0;1;0;0;;;\r\n"
                                                  "2;0;1;7FF;1;0;;Answer;\n"
                                                  "0;0;0;5;0;1;AA;last line without end;");
    TCanSendList list;
    Name(list, dir);
    list.Add(std::make_unique<TCanSendItem>());
    ASSERT_TRUE(list.Load()) << list.LastError();
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Items(0)->Frame.Id, 0u); // already there, stays first
    EXPECT_EQ(list.Items(1)->Caption, "Engine");
    EXPECT_EQ(list.Items(2)->Caption, "Answer");
    EXPECT_EQ(list.Items(3)->Caption, "last line without end");
    list.Name.clear();
}

TEST(SendListFile, SaveWritesOneLinePerItemWithCrLf) {
    TempDir dir;
    {
        TCanSendList list;
        Name(list, dir);
        auto item = std::make_unique<TCanSendItem>();
        ASSERT_TRUE(item->FromText("1;3E8;1;123;0;2;1122;Engine;"));
        list.Add(std::move(item));
        auto remote = std::make_unique<TCanSendItem>();
        remote->Frame.Id = 0x7FF;
        remote->Frame.IsRemote = true;
        list.Add(std::move(remote));
        ASSERT_TRUE(list.Save()) << list.LastError();
        EXPECT_EQ(ReadFile(list.GetFileName()),
                  "1;3E8;1;123;0;2;1122;Engine;\r\n0;0;0;7FF;1;0;;;\r\n");
        list.Delete(1);
    } // freeing saves once more
    EXPECT_EQ(ReadFile(dir.File("trans_list_zlg_ch0.dat")), "1;3E8;1;123;0;2;1122;Engine;\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("trans_list_zlg_ch0.dat.new")));

    TCanSendList reloaded;
    Name(reloaded, dir);
    ASSERT_TRUE(reloaded.Load());
    ASSERT_EQ(reloaded.Count(), 1);
    EXPECT_EQ(reloaded.Items(0)->ToText(), "1;3E8;1;123;0;2;1122;Engine;");
}

TEST(SendListFile, EmptyListGivesAnEmptyFile) {
    TempDir dir;
    TCanSendList list;
    Name(list, dir);
    ASSERT_TRUE(list.Save());
    EXPECT_TRUE(std::filesystem::exists(list.GetFileName()));
    EXPECT_EQ(ReadFile(list.GetFileName()), "");
}

TEST(SendListFile, AnUnreadableFileIsReportedNotFatal) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("trans_list_zlg_ch0.dat")); // exists, cannot be read
    TCanSendList list;
    Name(list, dir);
    list.Add(std::make_unique<TCanSendItem>());
    EXPECT_FALSE(list.Load());
    EXPECT_NE(list.LastError().find("trans_list_zlg_ch0.dat"), std::string::npos)
        << list.LastError();
    EXPECT_EQ(list.Count(), 1); // what was there stays
    list.Name.clear();
}

TEST(SendListFile, AFileThatCouldNotBeReadIsNeverOverwritten) {
    TempDir dir;
    const std::string fileName = dir.File("trans_list_zlg_ch0.dat");
    // Opens fine, then every read fails (the first page of the address space
    // is never mapped): a file that exists but cannot be read to its end.
    std::filesystem::create_symlink("/proc/self/mem", fileName);
    {
        TCanSendList list;
        Name(list, dir);
        EXPECT_FALSE(list.Load());
        list.Add(std::make_unique<TCanSendItem>());
        EXPECT_FALSE(list.Save());
        EXPECT_NE(list.LastError().find("not saved"), std::string::npos) << list.LastError();
    } // freeing does not write it either
    EXPECT_TRUE(std::filesystem::is_symlink(fileName));
    EXPECT_FALSE(std::filesystem::exists(fileName + ".new"));
}

TEST(SendListFile, AFailedSaveKeepsTheOldFileAndIsReported) {
    TempDir dir;
    const std::string fileName = dir.File("trans_list_zlg_ch0.dat");
    WriteFile(fileName, "0;0;0;1;0;0;;old;\r\n");
    TCanSendList list;
    Name(list, dir);
    ASSERT_TRUE(list.Load());
    list.Add(std::make_unique<TCanSendItem>());
    {
        tessel::test::FullDisk full; // the new file cannot be written
        ASSERT_TRUE(full.Active());
        EXPECT_FALSE(list.Save());
    }
    EXPECT_FALSE(list.LastError().empty());
    EXPECT_EQ(ReadFile(fileName), "0;0;0;1;0;0;;old;\r\n");

    TCanSendList nowhere;
    Name(nowhere, dir, "x");
    nowhere.SetDirectory(dir.File("missing-folder/"));
    EXPECT_FALSE(nowhere.Save());
    EXPECT_TRUE(nowhere.Load()); // a missing file is an empty list
}
