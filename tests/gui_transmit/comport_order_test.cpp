#include "com_port_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Stands in for the system's device database.
class TFakeEnumerator : public TComPortEnumerator {
public:
    TFakeEnumerator(std::vector<TComPortDevice> devices, std::string prefix = "COM")
        : FDevices(std::move(devices)), FPrefix(std::move(prefix)) {}
    std::vector<TComPortDevice> Enumerate() override { return FDevices; }
    std::string PortPrefix() const override { return FPrefix; }

private:
    std::vector<TComPortDevice> FDevices;
    std::string FPrefix;
};

TComPortDevice Port(const std::string& name) {
    return {"Port " + name, 0, name};
}

std::vector<std::string> Listed(std::vector<TComPortDevice> devices,
                                std::vector<std::string>* log = nullptr) {
    TComPortListManager manager(std::make_unique<TFakeEnumerator>(std::move(devices)));
    if (log != nullptr)
        manager.OnLog = [log](const std::string& line) { log->push_back(line); };
    manager.UpdateList();
    return manager.Ports().Names();
}

using Names = std::vector<std::string>;

TEST(ComPortOrder, NumbersOrderNumericallyNotAsText) {
    EXPECT_EQ(Listed({Port("COM10"), Port("COM2"), Port("COM1")}),
              (Names{"COM1", "COM2", "COM10"}));
    EXPECT_LT(TComPortList::CompareStrings("COM2", "COM10"), 0);
    EXPECT_GT(TComPortList::CompareStrings("COM10", "COM9"), 0);
}

TEST(ComPortOrder, SameNumberIsADuplicate) {
    EXPECT_EQ(Listed({Port("COM3"), Port("COM03"), Port("COM3")}), (Names{"COM3"}));
    TComPortList list;
    EXPECT_TRUE(list.Add("COM1"));
    EXPECT_FALSE(list.Add("COM001"));
    EXPECT_EQ(list.Count(), 1);
}

TEST(ComPortOrder, NamesWithoutANumberFollowInAConsistentOrder) {
    // Whatever order they arrive in, the result is the same total order.
    const Names expected{"COM1", "COM20", "COMA", "COMB"};
    EXPECT_EQ(Listed({Port("COMB"), Port("COM20"), Port("COMA"), Port("COM1")}), expected);
    EXPECT_EQ(Listed({Port("COMA"), Port("COM1"), Port("COMB"), Port("COM20")}), expected);
    EXPECT_EQ(TComPortList::CompareStrings("COMA", "COMA"), 0);
    EXPECT_GT(TComPortList::CompareStrings("COMA", "COM5"), 0);
    EXPECT_LT(TComPortList::CompareStrings("COM5", "COMA"), 0);
}

TEST(ComPortOrder, HugeNumbersDoNotOverflow) {
    EXPECT_EQ(Listed({Port("COM99999999999999999999999"), Port("COM2")}).front(), "COM2");
}

TEST(ComPortFilter, OnlyNamesWithThePortPrefixAreListed) {
    EXPECT_EQ(Listed({Port("LPT1"), Port("COM4"), Port("com5"), Port("XCOM6")}), (Names{"COM4"}));
}

TEST(ComPortFilter, UnreadableDevicesAreReportedOrSkipped) {
    TComPortDevice noName;
    noName.FriendlyNameError = 13;
    TComPortDevice noPort{"Bluetooth link", 0, std::nullopt};
    std::vector<std::string> log;
    EXPECT_EQ(Listed({noName, noPort, Port("COM7")}, &log), (Names{"COM7"}));
    const Names expectedLog{
        "TComPortListManager.UpdateList", "Error of getting friendly name. Error = 13",
        "Friendly name: Bluetooth link", "Friendly name: Port COM7", "PortName: COM7"};
    EXPECT_EQ(log, expectedLog);
}

TEST(ComPortList, UpdateListStartsAfresh) {
    std::vector<TComPortDevice> devices{Port("COM1")};
    auto enumerator = std::make_unique<TFakeEnumerator>(devices);
    TComPortListManager manager(std::move(enumerator));
    manager.UpdateList();
    manager.UpdateList();
    EXPECT_EQ(manager.Ports().Names(), (Names{"COM1"}));
}

TEST(ComPortList, EmptyDatabaseGivesEmptyList) {
    EXPECT_TRUE(Listed({}).empty());
}

// A tty class directory laid out like sysfs.
class SysfsTree : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot =
            std::filesystem::temp_directory_path() /
            ("comport_sysfs_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(FRoot);
        std::filesystem::create_directories(FRoot / "tty");
        std::filesystem::create_directories(FRoot / "drivers" / "serial8250");
        std::filesystem::create_directories(FRoot / "drivers" / "ftdi_sio");
    }
    void TearDown() override { std::filesystem::remove_all(FRoot); }

    void Tty(const std::string& name, const std::string& driver, const std::string& type = "") {
        const auto entry = FRoot / "tty" / name;
        std::filesystem::create_directories(entry);
        if (driver.empty())
            return;
        const auto device = FRoot / ("dev_" + name);
        std::filesystem::create_directories(device);
        std::filesystem::create_directory_symlink(FRoot / "drivers" / driver, device / "driver");
        std::filesystem::create_directory_symlink(device, entry / "device");
        if (!type.empty())
            std::ofstream(entry / "type") << type << "\n";
    }

    std::filesystem::path FRoot;
};

TEST_F(SysfsTree, ListsHardwarePortsInNumericOrder) {
    Tty("tty0", "");
    Tty("ptmx", "");
    Tty("ttyS0", "serial8250", "4");
    Tty("ttyS1", "serial8250", "0"); // legacy slot without a chip
    Tty("ttyUSB10", "ftdi_sio");
    Tty("ttyUSB2", "ftdi_sio");
    TComPortListManager manager(MakeSysfsComPortEnumerator((FRoot / "tty").string()));
    std::vector<std::string> log;
    manager.OnLog = [&log](const std::string& line) { log.push_back(line); };
    manager.UpdateList();
    EXPECT_EQ(manager.Ports().Names(), (Names{"/dev/ttyS0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "Friendly name: ttyUSB2 (ftdi_sio)"), log.end());
}

TEST_F(SysfsTree, MissingDirectoryGivesEmptyList) {
    TComPortListManager manager(MakeSysfsComPortEnumerator((FRoot / "absent").string()));
    manager.UpdateList();
    EXPECT_EQ(manager.Ports().Count(), 0);
}

} // namespace
