// Configuration, frame transfer, status and board information through
// libulmar.so against ulmar-emu, with both channels on one bus.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace ulmar::e2e;
using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

namespace {

std::vector<VciCanFrame> numbered(uint32_t count, uint32_t firstId = 0x100) {
    std::vector<VciCanFrame> frames;
    for (uint32_t i = 0; i < count; ++i)
        frames.push_back(
            dataFrame(firstId + i, {static_cast<uint8_t>(i), 0xA5, static_cast<uint8_t>(i >> 8)}));
    return frames;
}

void expectSameFrames(const std::vector<VciCanFrame>& got, const std::vector<VciCanFrame>& sent) {
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].canId, sent[i].canId) << "frame " << i;
        EXPECT_EQ(got[i].length, sent[i].length) << "frame " << i;
        EXPECT_EQ(std::memcmp(got[i].payload, sent[i].payload, sent[i].length), 0) << "frame " << i;
        EXPECT_EQ(got[i].isExtended, sent[i].isExtended) << "frame " << i;
        EXPECT_EQ(got[i].stampValid, 1) << "frame " << i;
    }
}

// Waits until the adapter reports at least `count` frames for the channel.
bool waitForFrames(uint32_t channel, int32_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (VCI_GetReceiveNum(4, 0, channel) >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// One emulator, device 0 open, both channels started at 1 Mbit/s.
class BusE2E : public ::testing::Test {
protected:
    void start(std::vector<std::string> args = {}) {
        emu_.emplace(dir_, "bus", std::move(args));
        ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
        ASSERT_TRUE(startChannel(0, 0));
        ASSERT_TRUE(startChannel(0, 1));
    }
    void TearDown() override {
        VCI_ResetCAN(4, 0, 0);
        VCI_ResetCAN(4, 0, 1);
        VCI_CloseDevice(4, 0);
    }

    DeviceDir dir_;
    std::optional<EmuProcess> emu_;
};

} // namespace

TEST_F(BusE2E, TransmitBatchesArriveOnTheOtherChannel) {
    start();
    for (uint32_t count : {4u, 48u, 49u}) {
        const auto frames = numbered(count);
        EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), count), static_cast<int32_t>(count));
        expectSameFrames(receiveFrames(0, 1, count), frames);
    }
    const auto back = numbered(5, 0x700);
    EXPECT_EQ(VCI_Transmit(4, 0, 1, back.data(), 5), 5);
    expectSameFrames(receiveFrames(0, 0, 5), back);
}

TEST_F(BusE2E, FramesSentRightAfterAStartMeetStartedChannels) {
    // The adapter takes commands and frames in the order they were sent,
    // whatever pipes carried them: frames sent at once after the start of
    // both channels go out on a running channel and reach a running one.
    emu_.emplace(dir_, "bus");
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    for (uint32_t round = 0; round < 12; ++round) {
        ASSERT_TRUE(startChannel(0, 0));
        ASSERT_TRUE(startChannel(0, 1));
        const auto frames = numbered(4, 0x100 + 4 * round);
        ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 4), 4);
        expectSameFrames(receiveFrames(0, 1, 4), frames);
        ASSERT_EQ(VCI_ResetCAN(4, 0, 0), 1);
        ASSERT_EQ(VCI_ResetCAN(4, 0, 1), 1);
        if (HasFailure())
            return;
    }
}

TEST_F(BusE2E, WriteTimingOutStopsTransmitAfterTheFirstBatch) {
    if (overUsb())
        GTEST_SKIP() << "write stalls are injected per link request";
    start({"--stall-writes", "0x01:1", "--write-timeout", "200"});
    const auto frames = numbered(100);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 100), 48);
    expectSameFrames(receiveFrames(0, 1, 48),
                     std::vector<VciCanFrame>(frames.begin(), frames.begin() + 48));
}

TEST_F(BusE2E, CapacityOneLeavesFramesInTheRing) {
    if (overUsb())
        GTEST_SKIP() << "over USB one read brings the frames of one transfer, not all that wait";
    start();
    const auto frames = numbered(6);
    ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 6), 6);
    ASSERT_TRUE(waitForFrames(1, 6));
    std::vector<VciCanFrame> got(1);
    ASSERT_EQ(VCI_Receive(4, 0, 1, got.data(), 1, 0), 1);
    EXPECT_EQ(got[0].canId, 0x100u);
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 1), 5) << "five frames wait in the library's ring";
    for (uint32_t i = 1; i < 6; ++i) {
        ASSERT_EQ(VCI_Receive(4, 0, 1, got.data(), 1, 0), 1);
        EXPECT_EQ(got[0].canId, 0x100 + i);
    }
}

TEST_F(BusE2E, ClearBufferDropsWaitingFrames) {
    start();
    const auto frames = numbered(7);
    ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 7), 7);
    ASSERT_TRUE(waitForFrames(1, 7));
    EXPECT_EQ(VCI_ClearBuffer(4, 0, 1), 1);
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 1), 0);
}

TEST_F(BusE2E, StatusAndReferenceQueries) {
    start();
    VciCanStatus status;
    std::memset(&status, 0xEE, sizeof status);
    EXPECT_EQ(VCI_ReadCANStatus(4, 0, 0, &status), 1);
    EXPECT_EQ(status.extra >> 8, 0u) << "only the low byte is copied";
    uint8_t references[27];
    EXPECT_EQ(VCI_GetReference2(4, 0, 1, 0, references), 1);
    uint32_t value = 0;
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, &value), 1);
    EXPECT_EQ(value, (1005u / 10 % 256) * 256) << "auxiliary value 1000";
    const uint8_t repeater = 1;
    EXPECT_EQ(VCI_SetRepeaterReference(4, 0, 1, 0, &repeater), 1);
    uint8_t readBack = 0xFF;
    EXPECT_EQ(VCI_GetRepeaterReference(4, 0, 1, 0, &readBack), 1);
    EXPECT_EQ(readBack, 1);
    const uint8_t data[4] = {0, 0, 0, 1};
    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 2, data), 1);
    EXPECT_EQ(VCI_UsbDeviceReset(4, 0, 0), 1);
}

TEST_F(BusE2E, LibraryFilterOnReferenceTypes) {
    emu_.emplace(dir_, "bus");
    ASSERT_EQ(VCI_OpenDevice(20, 0, 0), 1);
    // Prescaler 2, segments 12 and 5 on 36 MHz: 1000 kbit/s.
    const uint32_t rate = 1 | 11u << 16 | 4u << 20;
    const VciFilterEntry entry{0, 0x100, 0x1FF};
    VciInitConfig config{};
    for (uint32_t channel : {0u, 1u}) {
        ASSERT_EQ(VCI_SetReference(20, 0, channel, 0, &rate), 1);
        ASSERT_EQ(VCI_InitCAN(20, 0, channel, &config), 1);
        ASSERT_EQ(VCI_StartCAN(20, 0, channel), 1);
    }
    ASSERT_EQ(VCI_SetReference(20, 0, 1, 1, &entry), 1);
    ASSERT_EQ(VCI_SetReference(20, 0, 1, 2, nullptr), 1);
    const std::vector<VciCanFrame> frames{dataFrame(0x123, {1}), dataFrame(0x200, {2}),
                                          dataFrame(0x123, {3}, true), dataFrame(0x1FF, {4})};
    ASSERT_EQ(VCI_Transmit(20, 0, 0, frames.data(), 4), 4);
    ASSERT_TRUE(waitForFrames(1, 4)) << "the adapter takes all four; the library filters";
    const auto got = receiveFrames(0, 1, 3, std::chrono::milliseconds(1500));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].canId, 0x123u);
    EXPECT_EQ(got[0].isExtended, 0);
    EXPECT_EQ(got[1].canId, 0x1FFu);
    EXPECT_EQ(VCI_CloseDevice(20, 0), 1);
}

TEST_F(BusE2E, BlocksWithBadCountBytesYieldThreeFramesEach) {
    start({"--bad-count", "1"});
    const auto frames = numbered(12);
    ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 12), 12);
    ASSERT_TRUE(waitForFrames(1, 12));
    expectSameFrames(receiveFrames(0, 1, 12), frames);
}

TEST_F(BusE2E, ShortReadsNeverYieldCutFrames) {
    if (overUsb())
        GTEST_SKIP() << "over USB every transfer is cut, not one reply of 16 blocks";
    start({"--short-reads", "30"});
    const auto frames = numbered(48);
    ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 48), 48);
    ASSERT_TRUE(waitForFrames(1, 48));
    // Sixteen full blocks come back 30 bytes short: the cut block is not taken.
    const auto got = receiveFrames(0, 1, 48, std::chrono::milliseconds(1500));
    EXPECT_EQ(got.size(), 45u);
    uint32_t lastId = 0;
    for (const VciCanFrame& frame : got) {
        ASSERT_GE(frame.canId, 0x100u);
        ASSERT_LT(frame.canId, 0x100u + 48);
        EXPECT_GT(frame.canId, lastId) << "in order";
        lastId = frame.canId;
        const VciCanFrame& sent = frames[frame.canId - 0x100];
        EXPECT_EQ(std::memcmp(frame.payload, sent.payload, 3), 0);
        EXPECT_EQ(frame.length, 3);
    }
}

TEST_F(BusE2E, DroppedLinkFailsTransfersUntilReopened) {
    if (overUsb())
        GTEST_SKIP() << "a dropped link has no USB counterpart; unplugging is tested in UsbE2E";
    // The adapter drops every connection at the third read of frame pipe 0x81.
    start({"--drop-after", "2@0x81"});
    std::vector<VciCanFrame> buffer(48);
    for (int i = 0; i < 3; ++i)
        VCI_Receive(4, 0, 0, buffer.data(), 48, 0);
    const auto frames = numbered(3);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 3), 0);
    EXPECT_EQ(VCI_Receive(4, 0, 0, buffer.data(), 48, 0), -1);
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1) << "reopening connects again";
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 3), 3);
    expectSameFrames(receiveFrames(0, 1, 3), frames);
}

TEST_F(BusE2E, MuteAdapterCountsAsFailedRead) {
    if (overUsb())
        GTEST_SKIP() << "muting is injected per link request";
    start({"--mute-after", "1@0x83"});
    std::vector<VciCanFrame> buffer(48);
    EXPECT_EQ(VCI_Receive(4, 0, 1, buffer.data(), 48, 0), -1);
    EXPECT_EQ(VCI_Receive(4, 0, 1, buffer.data(), 48, 0), -1) << "the pipe stays failed";
}

class BoardE2E : public ::testing::Test {
protected:
    DeviceDir dir_;
};

TEST_F(BoardE2E, KestraCodeWithEighteenByteSerial) {
    EmuProcess emu(dir_, "a",
                   {"--device-code", "1234", "--serial", "XABCDEFG", "--release", "0x0412"});
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    VciBoardInfo info{};
    EXPECT_EQ(VCI_ReadBoardInfo(4, 0, &info), 1);
    EXPECT_STREQ(info.serialText, "ABCDEFG1234");
    EXPECT_STREQ(info.typeText, "KESTRA-II");
    EXPECT_EQ(info.deviceRelease, 0x0412);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST_F(BoardE2E, VelomarkCodeWithOtherSerialLength) {
    EmuProcess emu(dir_, "a", {"--device-code", "8A01", "--serial", "SHORT"});
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    VciBoardInfo info{};
    EXPECT_EQ(VCI_ReadBoardInfo(4, 0, &info), 1);
    EXPECT_STREQ(info.serialText, "00070428A01");
    EXPECT_STREQ(info.typeText, "Velomark-II");
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST_F(BoardE2E, WrittenDeviceCodeIsReadBack) {
    EmuProcess emu(dir_, "a", {"--device-code", "1234", "--serial", "SHORT"});
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    VciDeviceList list{};
    std::memcpy(list.deviceCodes[0], "B777", 4);
    EXPECT_EQ(VCI_WriteBoardInfo(4, 0, &list), 1);
    VciBoardInfo info{};
    EXPECT_EQ(VCI_ReadBoardInfo(4, 0, &info), 1);
    EXPECT_STREQ(info.serialText, "0007042B777");
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    VciDeviceList found{};
    EXPECT_EQ(VCI_FindUsbDevice(&found), 1);
    EXPECT_EQ(std::string(found.serialText, 8), "CAN-B777");
    EXPECT_EQ(std::string(found.deviceCodes[0], 4), "B777");
}
