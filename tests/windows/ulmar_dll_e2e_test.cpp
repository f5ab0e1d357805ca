// Ulmar.dll under Wine against two Linux ulmar-emu processes over loopback
// (started by run_e2e.sh, found through ULMAR_DEVICE_DIR): the same calls a
// Windows host makes, through the DLL's import library.
#include "ulmar.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t kType = 4;
constexpr int kFrameWaitMs = 3000;

// 500 kbit/s on the adapter's 8 MHz clock: prescaler 1, 16 quanta per bit.
VciInitConfig config500k() {
    VciInitConfig config{};
    config.acceptMask = 0xFFFFFFFF;
    config.btr0 = 0x00;
    config.btr1 = 0x1C;
    return config;
}

VciCanFrame frame(std::uint32_t id, bool extended, std::uint8_t length) {
    VciCanFrame f{};
    f.canId = id;
    f.isExtended = extended ? 1 : 0;
    f.length = length;
    for (std::uint8_t i = 0; i < length; ++i)
        f.payload[i] = static_cast<std::uint8_t>(0xA0 + i);
    return f;
}

// Polls as the monitor does until frames arrive or the wait is over. On an
// idle bus a poll ends with the frame read's time-out, reported as -1.
int receiveWithin(std::uint32_t device, std::uint32_t channel, VciCanFrame* frames,
                  std::uint32_t capacity, int waitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const int got = VCI_Receive(kType, device, channel, frames, capacity, 0);
        if (got > 0 || ::GetTickCount() - start > static_cast<DWORD>(waitMs))
            return got;
    }
}

class UlmarDllE2E : public ::testing::Test {
protected:
    // The open counter is process-wide: one close after each test's last open.
    void TearDown() override { VCI_CloseDevice(kType, device); }

    std::uint32_t device = 0;

    void openAndStart(std::uint32_t device) {
        ASSERT_EQ(VCI_OpenDevice(kType, device, 0), 1);
        const VciInitConfig config = config500k();
        for (std::uint32_t channel = 0; channel < 2; ++channel) {
            ASSERT_EQ(VCI_InitCAN(kType, device, channel, &config), 1);
            ASSERT_EQ(VCI_StartCAN(kType, device, channel), 1);
        }
    }
};

TEST_F(UlmarDllE2E, FindsBothVirtualAdapters) {
    VciDeviceList list{};
    EXPECT_EQ(VCI_FindUsbDevice(&list), 2);
    EXPECT_EQ(VCI_FindUsbDevice2(&list), 2);
    EXPECT_EQ(VCI_ConnectDevice(kType, 0), 1);
    EXPECT_EQ(VCI_ConnectDevice(kType, 1), 1);
    EXPECT_EQ(VCI_ConnectDevice(kType, 2), 0);
}

TEST_F(UlmarDllE2E, FrameTravelsFromChannelZeroToChannelOne) {
    openAndStart(0);
    const VciCanFrame sent = frame(0x123, false, 8);
    ASSERT_EQ(VCI_Transmit(kType, 0, 0, &sent, 1), 1);
    VciCanFrame received[48] = {};
    ASSERT_EQ(receiveWithin(0, 1, received, 48, kFrameWaitMs), 1);
    EXPECT_EQ(received[0].canId, 0x123u);
    EXPECT_EQ(received[0].isExtended, 0);
    EXPECT_EQ(received[0].length, 8);
    EXPECT_EQ(received[0].stampValid, 1);
    EXPECT_EQ(std::memcmp(received[0].payload, sent.payload, 8), 0);
}

TEST_F(UlmarDllE2E, ExtendedFramesAndManyFramesArriveInOrder) {
    openAndStart(0);
    constexpr int kCount = 20;
    for (int i = 0; i < kCount; ++i) {
        const VciCanFrame f = frame(0x18DAF100u + static_cast<std::uint32_t>(i), true, 4);
        ASSERT_EQ(VCI_Transmit(kType, 0, 1, &f, 1), 1);
    }
    VciCanFrame received[48] = {};
    int total = 0;
    while (total < kCount) {
        const int got = receiveWithin(0, 0, received + total, 48 - total, 5000);
        if (got <= 0)
            break;
        total += got;
    }
    ASSERT_EQ(total, kCount);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(received[i].canId, 0x18DAF100u + static_cast<std::uint32_t>(i));
        EXPECT_EQ(received[i].isExtended, 1);
    }
}

TEST_F(UlmarDllE2E, FrameReadThatTimesOutOnAnIdleBusLeavesThePipeWorking) {
    openAndStart(0);
    VciCanFrame received[48] = {};
    EXPECT_EQ(VCI_Receive(kType, 0, 1, received, 48, 0), -1);
    EXPECT_EQ(VCI_GetReceiveNum(kType, 0, 1), 0);
    const VciCanFrame sent = frame(0x7FF, false, 0);
    ASSERT_EQ(VCI_Transmit(kType, 0, 0, &sent, 1), 1);
    ASSERT_EQ(receiveWithin(0, 1, received, 48, kFrameWaitMs), 1);
    EXPECT_EQ(received[0].canId, 0x7FFu);
}

TEST_F(UlmarDllE2E, SecondAdapterIsDeviceIndexOne) {
    device = 1;
    openAndStart(1);
    const VciCanFrame sent = frame(0x42, false, 2);
    ASSERT_EQ(VCI_Transmit(kType, 1, 0, &sent, 1), 1);
    VciCanFrame received[48] = {};
    ASSERT_EQ(receiveWithin(1, 1, received, 48, kFrameWaitMs), 1);
    EXPECT_EQ(received[0].canId, 0x42u);
}

TEST_F(UlmarDllE2E, BoardInformationComesFromTheAdapterDescriptors) {
    ASSERT_EQ(VCI_OpenDevice(kType, 0, 0), 1);
    VciBoardInfo info{};
    ASSERT_EQ(VCI_ReadBoardInfo(kType, 0, &info), 1);
    EXPECT_EQ(info.reportedVersion1, 0x0200);
    EXPECT_EQ(info.libraryVersion, 0x0193);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_GT(std::strlen(info.serialText), 0u);
    VciCanStatus status{};
    EXPECT_EQ(VCI_ReadCANStatus(kType, 0, 0, &status), 1);
}

TEST_F(UlmarDllE2E, OpenCloseLifeCycle) {
    // Type 21 opened twice needs two closes; type 4 opened twice needs one.
    ASSERT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
    EXPECT_EQ(VCI_ClearBuffer(kType, 0, 0), 1); // pipes still open
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
    EXPECT_EQ(VCI_ClearBuffer(kType, 0, 0), -1);

    ASSERT_EQ(VCI_OpenDevice(kType, 0, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(kType, 0, 0), 1);
    EXPECT_EQ(VCI_CloseDevice(kType, 0), 1);
    EXPECT_EQ(VCI_ClearBuffer(kType, 0, 0), -1);
}

} // namespace
