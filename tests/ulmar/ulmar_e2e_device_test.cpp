// Opening, closing and finding virtual adapters through libulmar.so.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#ifndef _WIN32
#include <unistd.h>
#endif

using namespace ulmar::e2e;
using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

namespace {

VciCanFrame anyFrame() {
    return dataFrame(0x123, {1, 2, 3});
}

} // namespace

TEST(DeviceE2E, OpenOpensThirteenPipesInOrder) {
    if (overUsb())
        GTEST_SKIP() << "over USB no pipe is opened on its own, so none is logged";
    DeviceDir dir;
    ChildOutput output;
    EmuProcess emu(dir, "a", {"--verbose"});
    output.stopCapture();
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    const std::vector<uint8_t> order{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x80,
                                     0x81, 0x82, 0x83, 0x84, 0x85, 0x86};
    EXPECT_EQ(openedPipes(output.text()), order);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST(DeviceE2E, NoAdapterNoOpen) {
    DeviceDir dir;
    VciDeviceList list{};
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 0);
    EXPECT_EQ(VCI_ConnectDevice(4, 0), 0);
    EXPECT_EQ(VCI_FindUsbDevice(&list), 0);
}

TEST(DeviceE2E, AnnouncementWithoutListenerIsSkipped) {
    if (overUsb())
        GTEST_SKIP() << "announcement files belong to the link";
    DeviceDir dir;
    std::ofstream(dir.path() + "/0-stale.adapter")
        << "tcp 127.0.0.1 " << deadLoopbackPort() << "\n";
    EXPECT_EQ(VCI_ConnectDevice(4, 0), 0);
    EmuProcess emu(dir, "live", {"--device-code", "3333"});
    EXPECT_EQ(VCI_ConnectDevice(4, 0), 1);
    EXPECT_EQ(VCI_ConnectDevice(4, 1), 0);
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    VciBoardInfo info{};
    EXPECT_EQ(VCI_ReadBoardInfo(4, 0, &info), 1);
    EXPECT_STREQ(info.serialText + 7, "3333");
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST(DeviceE2E, TypeTwentyOneOpenedTwiceClosesOnTheSecondClose) {
    DeviceDir dir;
    EmuProcess emu(dir, "a");
    const VciCanFrame frame = anyFrame();
    ASSERT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
    EXPECT_EQ(VCI_Transmit(21, 0, 0, &frame, 1), 1) << "pipes stay open after the first close";
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
    EXPECT_EQ(VCI_Transmit(21, 0, 0, &frame, 1), -1);
}

TEST(DeviceE2E, TypeFourOpenedTwiceClosesOnTheFirstClose) {
    DeviceDir dir;
    EmuProcess emu(dir, "a");
    const VciCanFrame frame = anyFrame();
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), 1);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), -1);
}

TEST(DeviceE2E, CloseWithoutOpen) {
    DeviceDir dir;
    EmuProcess emu(dir, "a");
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1) << "the next open counts from 1 again";
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    const VciCanFrame frame = anyFrame();
    EXPECT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), -1);
}

TEST(DeviceE2E, BadArgumentsCauseNoTraffic) {
    DeviceDir dir;
    ChildOutput output;
    EmuProcess emu(dir, "a", {"--verbose"});
    output.stopCapture();
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    const std::string before = output.text();
    VciInitConfig config{};
    VciCanFrame frame = anyFrame();
    VciCanStatus status{};
    EXPECT_EQ(VCI_OpenDevice(5, 0, 0), 0);
    EXPECT_EQ(VCI_OpenDevice(4, 101, 0), 0);
    EXPECT_EQ(VCI_OpenDevice(4, 10, 0), 0);
    EXPECT_EQ(VCI_InitCAN(4, 0, 2, &config), 0);
    EXPECT_EQ(VCI_StartCAN(5, 0, 0), 0);
    EXPECT_EQ(VCI_ResetCAN(4, 101, 0), 0);
    EXPECT_EQ(VCI_Transmit(4, 0, 2, &frame, 1), 0);
    EXPECT_EQ(VCI_Receive(4, 0, 2, &frame, 1, 0), 0);
    EXPECT_EQ(VCI_ReadCANStatus(4, 0, 2, &status), 0);
    EXPECT_EQ(VCI_CloseDevice(4, 10), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(output.text(), before) << "the adapter saw nothing";
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST(DeviceE2E, AuxiliaryPipesAreOptional) {
    DeviceDir dir;
    EmuProcess emu(dir, "a", {"--refuse-pipe", "0x05", "--refuse-pipe", "0x86"});
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    uint32_t value = 5;
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, &value), 0);
    EXPECT_EQ(VCI_GetReference(4, 0, 1, 11, &value), 0);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST(DeviceE2E, MissingFramePipeFailsTheOpen) {
    DeviceDir dir;
    EmuProcess emu(dir, "a", {"--refuse-pipe", "0x83"});
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 0);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST(DeviceE2E, TwoEmulatorsAreDevicesZeroAndOne) {
    if (overUsb())
        GTEST_SKIP() << "the guest has one USB device controller, so one adapter";
    DeviceDir dir;
    EmuProcess first(dir, "a", {"--device-code", "1111", "--release", "0x0301"});
    EmuProcess second(dir, "b", {"--device-code", "8222", "--release", "0x0302"});
    VciDeviceList list{};
    EXPECT_EQ(VCI_FindUsbDevice(&list), 2);
    EXPECT_EQ(std::string(list.deviceCodes[0], 4), "1111");
    EXPECT_EQ(std::string(list.deviceCodes[1], 4), "8222");
    EXPECT_EQ(std::string(list.serialText, 8), "CAN-8222") << "the last adapter opened";
    EXPECT_EQ(list.deviceRelease, 0x0302);

    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(4, 1, 0), 1);
    VciBoardInfo info{};
    EXPECT_EQ(VCI_ReadBoardInfo(4, 0, &info), 1);
    EXPECT_EQ(info.deviceRelease, 0x0301);
    EXPECT_STREQ(info.typeText, "KESTRA-II");
    EXPECT_EQ(VCI_ReadBoardInfo(4, 1, &info), 1);
    EXPECT_EQ(info.deviceRelease, 0x0302);
    EXPECT_STREQ(info.typeText, "Velomark-II");
    // The open counter is one for the process: the first close closes
    // device 1 and the second one closes nothing.
    const VciCanFrame frame = anyFrame();
    EXPECT_EQ(VCI_CloseDevice(4, 1), 1);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(VCI_Transmit(4, 1, 0, &frame, 1), -1);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), 1);
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), -1);
}

TEST(DeviceE2E, AdapterThatGoesAndComesBackOpensAgain) {
    DeviceDir dir;
    std::optional<EmuProcess> emu(std::in_place, dir, "bench");
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));
    const VciCanFrame frame = anyFrame();
    ASSERT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), 1);
    ASSERT_EQ(receiveFrames(0, 1, 1).size(), 1u);

    emu.reset();
    VciCanFrame received{};
    EXPECT_EQ(VCI_Receive(4, 0, 1, &received, 1, 0), -1) << "a lost adapter fails the read";
    EXPECT_LE(VCI_Transmit(4, 0, 0, &frame, 1), 0);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 0) << "nothing to open while it is away";

    // Back under the same name, on a new port: closing and opening is all it takes.
    emu.emplace(dir, "bench");
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));
    ASSERT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), 1);
    const auto after = receiveFrames(0, 1, 1);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].canId, frame.canId);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

#ifndef _WIN32
// Windows keeps the directory in the user's own profile.
TEST(DeviceE2E, AnnouncementsInADirectoryOthersControlAreIgnored) {
    if (overUsb())
        GTEST_SKIP() << "an adapter on USB is found by its USB id, not announced in a directory";
    namespace fs = std::filesystem;
    DeviceDir dir;
    EmuProcess emu(dir, "a");
    VciDeviceList list{};
    ASSERT_EQ(VCI_FindUsbDevice(&list), 1);

    fs::permissions(dir.path(), fs::perms::others_write, fs::perm_options::add);
    EXPECT_EQ(VCI_FindUsbDevice(&list), 0) << "others may write there";
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 0);
    fs::permissions(dir.path(), fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(VCI_FindUsbDevice(&list), 1);
    if (::getuid() == 0) {
        // Only root can hand the directory to another user.
        ASSERT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
        EXPECT_EQ(VCI_FindUsbDevice(&list), 0) << "another user owns it";
        ASSERT_EQ(::chown(dir.path().c_str(), 0, 0), 0);
    }
}
#endif
