#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adapters/adapter_serial.h"
#include "adapters/zlg_adapter.h"
#include "model/can_settings.h"
#include "platform/ini_file.h"
#include "test_files.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A single-channel serial adapter, to see the keys without a suffix.
class TTestSerialAdapter final : public CAdapterSerial {
public:
    TCanSettings* GetSettings(int index) override { return index == 0 ? &FSettings : nullptr; }
    bool OpenChannel(int) override { return false; }
    void CloseChannel(int) override {}
    std::string GetName() const override { return "Serial"; }

private:
    TCanSettings FSettings;
};

class AdapterSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTransmitLists();
        FDir = std::filesystem::temp_directory_path() /
               ("tessel-adapter-settings-" + std::to_string(::getpid()));
        std::filesystem::remove_all(FDir);
        std::filesystem::create_directories(FDir);
        FIniName = (FDir / "Tessel.ini").string();
    }
    void TearDown() override {
        std::filesystem::remove_all(FDir);
        RemoveTransmitLists();
    }

    std::filesystem::path FDir;
    std::string FIniName;
};

TEST_F(AdapterSettingsTest, MissingFileIsCreatedAndGivesDefaults) {
    CAdapterZlg adapter;
    adapter.GetSettings(1)->Rate = 1000000;
    adapter.GetSettings(1)->Mode = TCanMode::Extended;
    adapter.LoadSettings(FIniName);
    EXPECT_TRUE(std::filesystem::exists(FIniName));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(adapter.GetSettings(i)->Rate, 250000);
        EXPECT_EQ(adapter.GetSettings(i)->Mode, TCanMode::Standard);
    }
}

TEST_F(AdapterSettingsTest, SaveThenLoadRestoresEveryChannel) {
    {
        CAdapterZlg adapter;
        adapter.LoadSettings(FIniName);
        adapter.GetSettings(0)->Rate = 500000;
        adapter.GetSettings(0)->Mode = TCanMode::Extended;
        adapter.GetSettings(1)->Rate = 125000;
        adapter.SaveSettings(FIniName);
    }
    CAdapterZlg adapter;
    adapter.LoadSettings(FIniName);
    EXPECT_EQ(adapter.GetSettings(0)->Rate, 500000);
    EXPECT_EQ(adapter.GetSettings(0)->Mode, TCanMode::Extended);
    EXPECT_EQ(adapter.GetSettings(1)->Rate, 125000);
    EXPECT_EQ(adapter.GetSettings(1)->Mode, TCanMode::Standard);

    const std::string text = ReadFile(FIniName);
    EXPECT_NE(text.find("[Zlg]"), std::string::npos);
    EXPECT_NE(text.find("CanRate_channel0=500000"), std::string::npos);
    EXPECT_NE(text.find("CanMode_channel0=1"), std::string::npos);
    EXPECT_NE(text.find("CanRate_channel1=125000"), std::string::npos);
    EXPECT_NE(text.find("CanMode_channel1=0"), std::string::npos);
}

TEST_F(AdapterSettingsTest, OnlyTheLowByteOfTheModeCounts) {
    platform::TIniFile ini(FIniName);
    ASSERT_TRUE(ini.WriteInteger("Zlg", "CanMode_channel0", 257));
    ASSERT_TRUE(ini.WriteInteger("Zlg", "CanMode_channel1", 256));
    CAdapterZlg adapter;
    adapter.LoadSettings(FIniName);
    EXPECT_EQ(adapter.GetSettings(0)->Mode, TCanMode::Extended);
    EXPECT_EQ(adapter.GetSettings(1)->Mode, TCanMode::Standard);
}

TEST_F(AdapterSettingsTest, NonNumbersGiveDefaultsAndOddRatesStay) {
    platform::TIniFile ini(FIniName);
    ASSERT_TRUE(ini.WriteString("Zlg", "CanRate_channel0", "fast"));
    ASSERT_TRUE(ini.WriteString("Zlg", "CanMode_channel0", "x"));
    ASSERT_TRUE(ini.WriteInteger("Zlg", "CanRate_channel1", 33333));
    CAdapterZlg adapter;
    adapter.LoadSettings(FIniName);
    EXPECT_EQ(adapter.GetSettings(0)->Rate, 250000);
    EXPECT_EQ(adapter.GetSettings(0)->Mode, TCanMode::Standard);
    EXPECT_EQ(adapter.GetSettings(1)->Rate, 33333);
}

TEST_F(AdapterSettingsTest, SavingKeepsForeignSectionsAndKeys) {
    {
        std::ofstream out(FIniName);
        out << "[Other]\nKeep=1\n[Zlg]\nMine=yes\n";
    }
    CAdapterZlg adapter;
    adapter.LoadSettings(FIniName);
    adapter.SaveSettings(FIniName);
    platform::TIniFile ini(FIniName);
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "1");
    EXPECT_EQ(ini.ReadString("Zlg", "Mine", ""), "yes");
    EXPECT_EQ(ini.ReadInteger("Zlg", "CanRate_channel1", 0), 250000);
}

TEST_F(AdapterSettingsTest, SingleChannelSerialAdapterUsesPlainKeysAndPort) {
    TTestSerialAdapter adapter;
    EXPECT_FALSE(adapter.IsMultiChannel());
    adapter.LoadSettings(FIniName);
    EXPECT_EQ(adapter.GetPort(), "");
    EXPECT_EQ(adapter.GetSettings(0)->Rate, 250000);
    adapter.GetSettings(0)->Rate = 800000;
    adapter.GetSettings(0)->Mode = TCanMode::Extended;
    adapter.SetPort("COM3");
    adapter.SaveSettings(FIniName);

    platform::TIniFile ini(FIniName);
    EXPECT_EQ(ini.ReadInteger("Serial", "CanRate", 0), 800000);
    EXPECT_EQ(ini.ReadInteger("Serial", "CanMode", 0), 1);
    EXPECT_EQ(ini.ReadString("Serial", "Port", ""), "COM3");

    TTestSerialAdapter reloaded;
    reloaded.LoadSettings(FIniName);
    EXPECT_EQ(reloaded.GetPort(), "COM3");
    EXPECT_EQ(reloaded.GetSettings(0)->Rate, 800000);
}

// Records which channels were asked, to see the search stop at the first hit.
class TChannelsAdapter final : public CAdapterCustom {
public:
    explicit TChannelsAdapter(std::vector<bool> open) : FOpen(std::move(open)) {}
    int GetChannelCount() const override { return static_cast<int>(FOpen.size()); }
    bool OpenChannel(int) override { return false; }
    void CloseChannel(int) override {}
    bool IsChannelOpen(int index) const override {
        Asked.push_back(index);
        return FOpen[static_cast<size_t>(index)];
    }
    std::string GetName() const override { return "Channels"; }

    mutable std::vector<int> Asked;

private:
    std::vector<bool> FOpen;
};

TEST(AdapterCustomTest, IsAnyChannelOpenAsksInOrderAndStopsAtTheFirst) {
    TChannelsAdapter none({false, false, false});
    EXPECT_FALSE(none.IsAnyChannelOpen());
    EXPECT_EQ(none.Asked, (std::vector<int>{0, 1, 2}));

    TChannelsAdapter last({false, false, true});
    EXPECT_TRUE(last.IsAnyChannelOpen());

    TChannelsAdapter middle({false, true, true});
    EXPECT_TRUE(middle.IsAnyChannelOpen());
    EXPECT_EQ(middle.Asked, (std::vector<int>{0, 1}));
}

TEST_F(AdapterSettingsTest, ChannelsWithoutSettingsAreSkipped) {
    TChannelsAdapter adapter({false, false});
    adapter.LoadSettings(FIniName);
    adapter.SaveSettings(FIniName);
    platform::TIniFile ini(FIniName);
    EXPECT_EQ(ini.ReadString("Channels", "CanRate_channel0", "none"), "none");
    EXPECT_EQ(ini.ReadString("Channels", "CanMode_channel1", "none"), "none");
}

TEST(AdapterZlgTest, ChannelObjectsOutOfRangeAreNone) {
    RemoveTransmitLists();
    {
        CAdapterZlg adapter;
        for (int index : {-1, 2}) {
            EXPECT_EQ(adapter.GetSendList(index), nullptr);
            EXPECT_EQ(adapter.GetLogger(index), nullptr);
            EXPECT_EQ(adapter.GetSettings(index), nullptr);
            EXPECT_EQ(adapter.GetTraceList(index), nullptr);
            EXPECT_EQ(adapter.GetFrameTable(index), nullptr);
            EXPECT_FALSE(adapter.IsChannelOpen(index));
        }
        EXPECT_NE(adapter.GetSendList(0), adapter.GetSendList(1));
        EXPECT_EQ(adapter.GetSendList(1)->Name, "zlg_ch1");
        EXPECT_FALSE(adapter.IsAnyChannelOpen());
        // Closing a channel that is not open changes nothing.
        adapter.CloseChannel(0);
        adapter.CloseChannel(5);
        EXPECT_FALSE(adapter.IsChannelOpen(0));
    }
    RemoveTransmitLists();
}

} // namespace
