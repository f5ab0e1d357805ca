#include <filesystem>

#include <gtest/gtest.h>

#include "full_disk.h"
#include "platform/ini_file.h"
#include "test_support.h"

using coretest::ReadFile;
using coretest::TempDir;
using coretest::WriteFile;
using platform::TIniFile;

TEST(IniFile, MissingFileSectionOrKeyGivesTheDefault) {
    TempDir dir;
    TIniFile missing(dir.File("none.ini"));
    EXPECT_EQ(missing.ReadInteger("Zlg", "CanRate_channel0", 250000), 250000);
    EXPECT_EQ(missing.ReadString("Zlg", "Port", "COM1"), "COM1");

    WriteFile(dir.File("a.ini"), "[Zlg]\nCanMode_channel0=1\n");
    TIniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.ReadInteger("Other", "CanMode_channel0", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Zlg", "CanMode_channel1", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Zlg", "CanMode_channel0", 7), 1);
}

TEST(IniFile, IntegerReadsAcceptNumbersOnly) {
    TempDir dir;
    WriteFile(dir.File("a.ini"), "[S]\n"
                                 "plain= 500000 \n"
                                 "negative=-12\n"
                                 "hex=0x1F\n"
                                 "dollar=$FFFFFFFF\n"
                                 "word=fast\n"
                                 "trailing=12ab\n"
                                 "empty=\n"
                                 "huge=4294967296\n"
                                 "toolarge=2147483648\n"
                                 "lowest=-2147483648\n");
    TIniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "plain", -5), 500000);
    EXPECT_EQ(ini.ReadInteger("S", "negative", -5), -12);
    EXPECT_EQ(ini.ReadInteger("S", "hex", -5), 31);
    EXPECT_EQ(ini.ReadInteger("S", "dollar", -5), -1);
    EXPECT_EQ(ini.ReadInteger("S", "word", -5), -5);
    EXPECT_EQ(ini.ReadInteger("S", "trailing", -5), -5);
    EXPECT_EQ(ini.ReadInteger("S", "empty", -5), -5);
    EXPECT_EQ(ini.ReadInteger("S", "huge", -5), -5);
    EXPECT_EQ(ini.ReadInteger("S", "toolarge", -5), -5);
    EXPECT_EQ(ini.ReadInteger("S", "lowest", -5), -2147483647 - 1);
}

TEST(IniFile, NamesCompareWithoutCase) {
    TempDir dir;
    WriteFile(dir.File("a.ini"), "[zLG]\ncanrate_CHANNEL0=125000\n");
    TIniFile ini(dir.File("a.ini"));
    EXPECT_EQ(ini.ReadInteger("Zlg", "CanRate_channel0", 0), 125000);
    ASSERT_TRUE(ini.WriteInteger("ZLG", "CANRATE_channel0", 500000));
    EXPECT_EQ(ReadFile(dir.File("a.ini")), "[zLG]\ncanrate_CHANNEL0=500000\n");
}

TEST(IniFile, WritingOneKeyKeepsEveryOtherLine) {
    TempDir dir;
    const std::string before = "; settings of the monitor\r\n"
                               "[Other]\r\n"
                               "CanRate_channel0 = 1000\r\n"
                               "Note=keep me\r\n"
                               "\r\n"
                               "[Zlg]\r\n"
                               "CanRate_channel0=250000\r\n"
                               "CanMode_channel0=0\r\n"
                               "\r\n"
                               "[Tail]\r\n"
                               "x=1\r\n";
    WriteFile(dir.File("a.ini"), before);
    TIniFile ini(dir.File("a.ini"));

    ASSERT_TRUE(ini.WriteInteger("Zlg", "CanRate_channel0", 500000));
    ASSERT_TRUE(ini.WriteInteger("Zlg", "CanMode_channel1", 1));
    ASSERT_TRUE(ini.WriteString("New", "Port", "COM3"));

    EXPECT_EQ(ReadFile(dir.File("a.ini")), "; settings of the monitor\r\n"
                                           "[Other]\r\n"
                                           "CanRate_channel0 = 1000\r\n"
                                           "Note=keep me\r\n"
                                           "\r\n"
                                           "[Zlg]\r\n"
                                           "CanRate_channel0=500000\r\n"
                                           "CanMode_channel0=0\r\n"
                                           "CanMode_channel1=1\r\n"
                                           "\r\n"
                                           "[Tail]\r\n"
                                           "x=1\r\n"
                                           "[New]\r\n"
                                           "Port=COM3\r\n");
    EXPECT_EQ(ini.ReadInteger("Other", "CanRate_channel0", 0), 1000);
    EXPECT_EQ(ini.ReadInteger("Zlg", "CanRate_channel0", 0), 500000);
    EXPECT_EQ(ini.ReadString("New", "Port", ""), "COM3");
}

TEST(IniFile, WriteCreatesAMissingFileAndTerminatesAnOpenLastLine) {
    TempDir dir;
    TIniFile created(dir.File("new.ini"));
    ASSERT_TRUE(created.WriteInteger("Zlg", "CanRate_channel0", 250000));
    EXPECT_EQ(created.ReadInteger("Zlg", "CanRate_channel0", 0), 250000);

    WriteFile(dir.File("open.ini"), "[Zlg]\nCanMode_channel0=1");
    TIniFile open(dir.File("open.ini"));
    ASSERT_TRUE(open.WriteInteger("Zlg", "CanRate_channel0", 1000000));
    EXPECT_EQ(ReadFile(dir.File("open.ini")),
              "[Zlg]\nCanMode_channel0=1\nCanRate_channel0=1000000\n");
}

TEST(IniFile, AnUnwritableFileIsReportedAndLeftAlone) {
    TempDir dir;
    TIniFile nowhere(dir.File("no-such-folder/a.ini"));
    EXPECT_FALSE(nowhere.WriteInteger("Zlg", "CanRate_channel0", 1));

    WriteFile(dir.File("a.ini"), "[Zlg]\nCanRate_channel0=5\n");
    TIniFile blocked(dir.File("a.ini"));
    {
        tessel::test::FullDisk full; // the new file cannot be written
        ASSERT_TRUE(full.Active());
        EXPECT_FALSE(blocked.WriteInteger("Zlg", "CanRate_channel0", 6));
    }
    EXPECT_EQ(ReadFile(dir.File("a.ini")), "[Zlg]\nCanRate_channel0=5\n");
}
