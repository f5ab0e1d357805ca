// What only a real USB stack does to libulmar.so's libusb backend: reads that
// time out after part of their data arrived, transfers cancelled on time-out,
// and an adapter unplugged while a channel is receiving. Runs where the
// emulators are USB gadgets (scripts/test-gadget.sh) and is skipped elsewhere.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

using namespace ulmar::e2e;
using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

namespace {

std::vector<VciCanFrame> numbered(uint32_t count, uint32_t firstId) {
    std::vector<VciCanFrame> frames;
    for (uint32_t i = 0; i < count; ++i)
        frames.push_back(dataFrame(firstId + i, {static_cast<uint8_t>(i), 0x5A}));
    return frames;
}

// The identifiers of `got` are those of `sent`, in order.
void expectIds(const std::vector<VciCanFrame>& got, const std::vector<VciCanFrame>& sent) {
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].canId, sent[i].canId) << "frame " << i;
}

class UsbE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (!overUsb())
            GTEST_SKIP() << "needs the USB stack of scripts/test-gadget.sh";
    }
    void start(std::vector<std::string> args = {}) {
        emu_.emplace(dir_, "usb", std::move(args));
        ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
        ASSERT_TRUE(startChannel(0, 0));
        ASSERT_TRUE(startChannel(0, 1));
    }
    void TearDown() override { VCI_CloseDevice(4, 0); }

    DeviceDir dir_;
    std::optional<EmuProcess> emu_;
};

} // namespace

TEST_F(UsbE2E, ReadTimingOutAfterItsDataArrivedHandsTheFramesOver) {
    // Every frame transfer ends without a short packet: the host's read of
    // 16 blocks gets the blocks there are and then runs into its time-out.
    start({"--unterminated-reads"});
    for (uint32_t count : {5u, 20u}) {
        const auto frames = numbered(count, 0x300);
        ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), count), static_cast<int32_t>(count));
        expectIds(receiveFrames(0, 1, count), frames);
    }
}

TEST_F(UsbE2E, ReadsCancelledOnTimeOutLeaveTheDeviceUsable) {
    start();
    std::vector<VciCanFrame> buffer(48);
    // Nothing on the bus: every read times out and libusb cancels it.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(VCI_Receive(4, 0, 1, buffer.data(), 48, 0), -1);
    const auto frames = numbered(30, 0x400);
    ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 30), 30);
    expectIds(receiveFrames(0, 1, 30), frames);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1) << "the closed interface can be claimed again";
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));
    ASSERT_EQ(VCI_Transmit(4, 0, 1, frames.data(), 30), 30);
    expectIds(receiveFrames(0, 0, 30), frames);
}

TEST_F(UsbE2E, UnpluggedWhileReceivingFailsThenOpensAgainOncePluggedBackIn) {
    start();
    std::atomic<int> calls{0};
    std::atomic<bool> failed{false};
    std::thread receiver([&] {
        std::vector<VciCanFrame> buffer(48);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline && !failed) {
            // An idle bus also ends a read with -1; only an unplugged
            // adapter fails a read at once and for good.
            const auto begin = std::chrono::steady_clock::now();
            const int32_t got = VCI_Receive(4, 0, 1, buffer.data(), 48, 0);
            ++calls;
            if (got == -1 &&
                std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(50))
                failed = true;
        }
    });
    while (calls < 2)
        std::this_thread::yield();
    // The emulator's gadget goes away with it: the host sees the adapter unplugged.
    emu_.reset();
    receiver.join();
    EXPECT_TRUE(failed) << "receiving kept going on an unplugged adapter";
    const VciCanFrame frame = dataFrame(0x123, {1});
    EXPECT_LE(VCI_Transmit(4, 0, 0, &frame, 1), 0);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);

    emu_.emplace(dir_, "usb"); // plugged in again: returns once the host has configured it
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));
    const auto frames = numbered(10, 0x500);
    ASSERT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 10), 10);
    expectIds(receiveFrames(0, 1, 10), frames);
}
