// An adapter on the per-endpoint driver: one overlapped file per endpoint and
// direction, served here by named pipes, and descriptors through the
// driver's device I/O control.
#include "fake_windows_platform.h"
#include "fake_winusb.h"
#include "named_pipe_device.h"

#include "core/library_state.h"
#include "transport/transport.h"
#include "transport/windows/windows_usb_backend.h"

#include <gtest/gtest.h>

namespace ulmar::test {
namespace {

class EndpointFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLibraryState();
        platform.classA.paths = {device.path()};
        platform.confirm(kInterfaceClassA, device.path());
        // As on a real system: WinUSB cannot take a device bound to another driver.
        fakeWinUsb().initializeSucceeds = false;
        useBackends(&backend, nullptr);
    }
    void TearDown() override {
        CloseDevicePipes(0);
        useBackends(nullptr, nullptr);
        resetLibraryState();
    }

    std::int32_t slot(int n) { return deviceEntry(0).slots[static_cast<std::size_t>(n)]; }

    NamedPipeDevice device;
    FakeWindowsPlatform platform;
    // Bound at load; tried for every pipe before the endpoint files.
    WindowsUsbBackend backend{platform, InstallFakeWinUsb()};
};

TEST_F(EndpointFilesTest, OpenGivesEverySlotItsOwnEndpointFile) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    EXPECT_EQ(backend.transportMode(), 0);
    for (int endpoint = 1; endpoint <= 6; ++endpoint)
        EXPECT_EQ(device.openCount(endpoint), 2) << "endpoint " << endpoint;
    EXPECT_EQ(device.openCount(0), 1);
    for (int n = 0; n < kSlotCount; ++n)
        EXPECT_NE(slot(n), kNoPipe) << "slot " << n;
    CloseDevicePipes(0);
    for (int n = 0; n < kSlotCount; ++n)
        EXPECT_EQ(slot(n), kNoPipe) << "slot " << n;
    for (int endpoint = 0; endpoint <= 6; ++endpoint)
        EXPECT_EQ(device.openCount(endpoint), 0) << "endpoint " << endpoint;
}

TEST_F(EndpointFilesTest, WithoutWinUsbTheAdapterOpensThroughTheFiles) {
    WindowsUsbBackend plain(platform, WinUsbFunctions{});
    useBackends(&plain, nullptr);
    EXPECT_FALSE(plain.winusbAvailable());
    ASSERT_EQ(OpenDevicePipes(0), 1);
    EXPECT_EQ(device.openCount(2), 2);
    CloseDevicePipes(0);
}

TEST_F(EndpointFilesTest, WritesReachTheirEndpoint) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    std::vector<std::uint8_t> packet(64, 0);
    packet[0] = 0x0B;
    std::uint32_t written = 0;
    ASSERT_EQ(WritePipe(0, slot(9), packet.data(), 64, &written), 1); // commandOut of channel 1
    EXPECT_EQ(written, 64u);
    EXPECT_EQ(device.received(4), packet);
    EXPECT_TRUE(device.received(2).empty());
}

TEST_F(EndpointFilesTest, ReadThatTimesOutIsCancelledAndTheNextReadWorks) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    std::uint8_t buffer[64] = {};
    std::uint32_t count = 99;
    EXPECT_EQ(ReadPipe(0, slot(2), buffer, sizeof buffer, 30, &count), 0);
    EXPECT_EQ(count, 0u);

    std::vector<std::uint8_t> block(64);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    device.send(1, block);
    ASSERT_EQ(ReadPipe(0, slot(2), buffer, sizeof buffer, 1000, &count), 1);
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 64), block);
}

TEST_F(EndpointFilesTest, ShortReadReportsItsCount) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    device.send(3, {1, 2, 3});
    std::uint8_t buffer[64] = {};
    std::uint32_t count = 0;
    ASSERT_EQ(ReadPipe(0, slot(8), buffer, sizeof buffer, 1000, &count), 1);
    EXPECT_EQ(count, 3u);
}

TEST_F(EndpointFilesTest, ReadOnAClosedFileFailsAtOnce) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    const std::int32_t stale = slot(4);
    ::CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(stale)));
    std::uint8_t buffer[64];
    std::uint32_t count = 99;
    EXPECT_EQ(backend.readPipe(0, stale, buffer, sizeof buffer, 1000, &count), 0);
    EXPECT_EQ(count, 0u);
    deviceEntry(0).slots[4] = kNoPipe;
}

TEST_F(EndpointFilesTest, DescriptorRequestUsesTheDriverControlCode) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    platform.controlReply = {18, 1, 0x00, 0x02};
    std::uint8_t buffer[18] = {};
    std::uint32_t count = 0;
    ASSERT_EQ(GetDeviceDescriptor(0, slot(0), buffer, &count), 1);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(platform.lastControlCode, 0x00226004u);
    EXPECT_EQ(platform.lastControlInput, (std::vector<std::uint8_t>{1, 0, 0x00, 0x00}));
    EXPECT_EQ(platform.lastControlDevice,
              reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(slot(0))));

    std::uint8_t text[64] = {};
    ASSERT_EQ(GetStringDescriptor(0, slot(0), 2, text, sizeof text, &count), 1);
    EXPECT_EQ(platform.lastControlInput, (std::vector<std::uint8_t>{3, 2, 0x09, 0x04}));
}

TEST_F(EndpointFilesTest, FailedDescriptorRequestPrintsItsErrorCode) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    platform.controlSucceeds = false;
    platform.controlError = ERROR_GEN_FAILURE;
    std::uint8_t buffer[18];
    std::uint32_t count = 5;
    ::testing::internal::CaptureStdout();
    const int result = GetDeviceDescriptor(0, slot(0), buffer, &count);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(printed, "Get dsc error: 31\n");
}

TEST_F(EndpointFilesTest, UnconfirmedAdapterOpensNothing) {
    platform.registry.clear();
    platform.confirm(kInterfaceClassA, device.path(), "USB\\VID_04D8&PID_0099\\1");
    EXPECT_EQ(OpenDevicePipes(0), 0);
    for (int n = 0; n < kSlotCount; ++n)
        EXPECT_EQ(slot(n), kNoPipe);
    for (int endpoint = 0; endpoint <= 6; ++endpoint)
        EXPECT_EQ(device.openCount(endpoint), 0);
}

} // namespace
} // namespace ulmar::test
