// An adapter on WinUSB: one device file and one WinUSB handle shared by all
// 13 pipe slots, counted by pipeRefs; transfers with their time-outs.
#include "fake_windows_platform.h"
#include "fake_winusb.h"
#include "named_pipe_device.h"

#include "core/library_state.h"
#include "transport/transport.h"
#include "transport/windows/windows_usb_backend.h"

#include <gtest/gtest.h>

#include <array>

namespace ulmar::test {
namespace {

class WinUsbPipesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLibraryState();
        platform.classB.paths = {device.path()};
        platform.confirm(kInterfaceClassB, device.path());
        useBackends(&backend, nullptr);
    }
    void TearDown() override {
        CloseDevicePipes(0);
        useBackends(nullptr, nullptr);
        resetLibraryState();
    }

    const std::array<std::int32_t, kSlotCount>& slots() { return deviceEntry(0).slots; }

    NamedPipeDevice device{false}; // the interface path that WinUSB is initialised on
    FakeWindowsPlatform platform;
    WinUsbFunctions functions = InstallFakeWinUsb();
    WindowsUsbBackend backend{platform, functions};
};

TEST_F(WinUsbPipesTest, OpenFillsEverySlotWithItsPipeIdentifierOnOneHandle) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    const std::array<std::int32_t, kSlotCount> expected{0x80, 0x01, 0x81, 0x02, 0x82, 0x05, 0x85,
                                                        0x03, 0x83, 0x04, 0x84, 0x06, 0x86};
    EXPECT_EQ(slots(), expected);
    EXPECT_EQ(backend.transportMode(), 1);
    EXPECT_EQ(backend.deviceState(0).pipeRefs, 13);
    EXPECT_TRUE(backend.deviceState(0).winusbReady);
    // WinUSB is initialised once, with automatic suspend switched off.
    EXPECT_EQ(fakeWinUsb().initializedFiles.size(), 1u);
    EXPECT_EQ(fakeWinUsb().calls,
              (std::vector<std::string>{"Initialize", "SetPowerPolicy 129 1 0"}));
    EXPECT_EQ(device.openCount(0), 1);
}

TEST_F(WinUsbPipesTest, CloseReleasesTheHandleOnlyWithTheLastReference) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    WindowsUsbBackend& b = backend;
    for (int release = 1; release <= 12; ++release) {
        ASSERT_TRUE(b.closePipe(0, 0x01));
        EXPECT_EQ(b.deviceState(0).pipeRefs, 13 - release);
        EXPECT_EQ(fakeWinUsb().freeCalls, 0);
    }
    ASSERT_TRUE(b.closePipe(0, 0x86));
    EXPECT_EQ(fakeWinUsb().freeCalls, 1);
    EXPECT_FALSE(b.deviceState(0).winusbReady);
    EXPECT_EQ(b.deviceState(0).deviceFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(b.deviceState(0).winusbHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.openCount(0), 0);
    // Nothing is left to release.
    EXPECT_FALSE(b.closePipe(0, 0x86));
    EXPECT_EQ(fakeWinUsb().freeCalls, 1);
}

TEST_F(WinUsbPipesTest, CloseDevicePipesClearsAllSlotsAndFreesOnce) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    CloseDevicePipes(0);
    for (std::int32_t slot : slots())
        EXPECT_EQ(slot, kNoPipe);
    EXPECT_EQ(fakeWinUsb().freeCalls, 1);
    EXPECT_EQ(backend.deviceState(0).pipeRefs, 0);
    // Reopening initialises WinUSB afresh.
    ASSERT_EQ(OpenDevicePipes(0), 1);
    EXPECT_EQ(fakeWinUsb().initializedFiles.size(), 2u);
    EXPECT_EQ(backend.deviceState(0).pipeRefs, 13);
}

TEST_F(WinUsbPipesTest, FailedInitialisationFailsTheOpenAndCloseLeavesNothingOpen) {
    fakeWinUsb().initializeSucceeds = false;
    EXPECT_EQ(OpenDevicePipes(0), 0);
    EXPECT_EQ(backend.deviceState(0).pipeRefs, 0);
    EXPECT_FALSE(backend.deviceState(0).winusbReady);
    EXPECT_EQ(backend.deviceState(0).deviceFile, INVALID_HANDLE_VALUE);
    for (int slot = 1; slot < kSlotCount; ++slot)
        EXPECT_EQ(slots()[static_cast<std::size_t>(slot)], kNoPipe) << "slot " << slot;
    // Only the interface path itself opened, as the file of the control pipe;
    // the close must not take it for a WinUSB pipe and leak it.
    EXPECT_EQ(device.openCount(0), 1);
    CloseDevicePipes(0);
    EXPECT_EQ(slots()[0], kNoPipe);
    EXPECT_EQ(device.openCount(0), 0);
    EXPECT_EQ(fakeWinUsb().freeCalls, 0);
}

TEST_F(WinUsbPipesTest, ReadThatTimesOutIsAbortedAndTheNextReadWorks) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    fakeWinUsb().transfers = {{FakeCompletion::NeverUntilAbort, {}},
                              {FakeCompletion::Signalled, {1, 2, 3, 4, 5}}};
    std::uint8_t buffer[64] = {};
    std::uint32_t count = 99;
    EXPECT_EQ(ReadPipe(0, slots()[2], buffer, sizeof buffer, 20, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(fakeWinUsb().aborted, (std::vector<UCHAR>{0x81}));

    ASSERT_EQ(ReadPipe(0, slots()[2], buffer, sizeof buffer, 1000, &count), 1);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(buffer[4], 5);
    EXPECT_EQ(fakeWinUsb().readPipes, (std::vector<UCHAR>{0x81, 0x81}));
    // The pipe is aborted once more after the completed transfer.
    EXPECT_EQ(fakeWinUsb().aborted, (std::vector<UCHAR>{0x81, 0x81}));
}

TEST_F(WinUsbPipesTest, TransferThatNeverSettlesAfterItsAbortStillReturns) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    fakeWinUsb().transfers = {{FakeCompletion::Never, {}}, {FakeCompletion::Signalled, {7, 8}}};
    std::uint8_t buffer[64] = {};
    std::uint32_t count = 99;
    EXPECT_EQ(ReadPipe(0, slots()[2], buffer, sizeof buffer, 20, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(fakeWinUsb().aborted, (std::vector<UCHAR>{0x81}));
    // The abandoned transfer keeps its own buffer: the next read is unharmed.
    ASSERT_EQ(ReadPipe(0, slots()[2], buffer, sizeof buffer, 1000, &count), 1);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(buffer[1], 8);
}

TEST_F(WinUsbPipesTest, LookingUpAnAdapterOnTheOtherDriverLeavesOpenPipesOnWinUsb) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    // A second adapter appears on the per-endpoint driver and is looked up.
    NamedPipeDevice other{false};
    platform.classA.paths = {other.path()};
    platform.confirm(kInterfaceClassA, other.path());
    ASSERT_EQ(FindDevicePath(0, nullptr, 0, nullptr), kPathFound);
    ASSERT_EQ(backend.transportMode(), 0);

    fakeWinUsb().transfers = {{FakeCompletion::Immediate, {}}, {FakeCompletion::Immediate, {1}}};
    const std::uint8_t packet[64] = {0x0A};
    std::uint32_t count = 0;
    ASSERT_EQ(WritePipe(0, slots()[3], packet, sizeof packet, &count), 1);
    std::uint8_t reply[64] = {};
    ASSERT_EQ(ReadPipe(0, slots()[4], reply, sizeof reply, 100, &count), 1);
    EXPECT_EQ(fakeWinUsb().writePipes, (std::vector<UCHAR>{0x02}));
    EXPECT_EQ(fakeWinUsb().readPipes, (std::vector<UCHAR>{0x82}));

    CloseDevicePipes(0);
    EXPECT_EQ(fakeWinUsb().freeCalls, 1);
    EXPECT_EQ(device.openCount(0), 0);
}

TEST_F(WinUsbPipesTest, PathLookupFailingPartWayThroughTheOpenLeaksNoHandle) {
    // The count, the open's own lookup and the first three pipes find the
    // adapter; then it is gone.
    platform.classB.lookupsLeft = 5;
    EXPECT_EQ(OpenDevicePipes(0), 0);
    EXPECT_EQ(backend.deviceState(0).pipeRefs, 3);
    CloseDevicePipes(0);
    for (std::int32_t slot : slots())
        EXPECT_EQ(slot, kNoPipe);
    EXPECT_EQ(fakeWinUsb().freeCalls, 1);
    EXPECT_EQ(backend.deviceState(0).deviceFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.openCount(0), 0);
}

TEST_F(WinUsbPipesTest, WriteCompletesAtOnceOrThroughItsEvent) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    fakeWinUsb().transfers = {{FakeCompletion::Immediate, {}}, {FakeCompletion::Signalled, {}}};
    const std::uint8_t packet[64] = {0x09};
    std::uint32_t written = 0;
    ASSERT_EQ(WritePipe(0, slots()[3], packet, sizeof packet, &written), 1);
    EXPECT_EQ(written, 64u);
    ASSERT_EQ(WritePipe(0, slots()[9], packet, sizeof packet, &written), 1);
    EXPECT_EQ(written, 64u);
    EXPECT_EQ(fakeWinUsb().writePipes, (std::vector<UCHAR>{0x02, 0x04}));
    EXPECT_EQ(fakeWinUsb().written.size(), 2u);
}

TEST_F(WinUsbPipesTest, DescriptorsGoThroughWinUsb) {
    ASSERT_EQ(OpenDevicePipes(0), 1);
    fakeWinUsb().descriptor = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0xD8, 0x04, 0x53, 0x00, 0x25, 0x02};
    std::uint8_t buffer[18] = {};
    std::uint32_t count = 0;
    ASSERT_EQ(GetDeviceDescriptor(0, slots()[0], buffer, &count), 1);
    EXPECT_EQ(fakeWinUsb().lastDescriptorRequest, "1 0 0 18");
    EXPECT_EQ(count, 14u);
    EXPECT_EQ(buffer[8], 0xD8);
    std::uint8_t text[255] = {};
    ASSERT_EQ(GetStringDescriptor(0, slots()[0], 4, text, sizeof text, &count), 1);
    EXPECT_EQ(fakeWinUsb().lastDescriptorRequest, "3 4 1033 255");
}

TEST(WinUsbBinding, MissingRequiredFunctionLeavesWinUsbUnavailable) {
    FakeWindowsPlatform platform;
    WinUsbFunctions functions = InstallFakeWinUsb();
    EXPECT_TRUE(WindowsUsbBackend(platform, functions).winusbAvailable());
    functions.WinUsb_SetPowerPolicy = nullptr; // optional
    EXPECT_TRUE(WindowsUsbBackend(platform, functions).winusbAvailable());
    functions.WinUsb_GetDescriptor = nullptr;
    EXPECT_FALSE(WindowsUsbBackend(platform, functions).winusbAvailable());
    EXPECT_FALSE(WindowsUsbBackend(platform, WinUsbFunctions{}).winusbAvailable());
}

TEST(WinUsbBinding, LookUpFindsTheSevenFunctionsByName) {
    const HMODULE module = ::LoadLibraryA("winusb.dll");
    if (module == nullptr)
        GTEST_SKIP() << "no winusb.dll on this system";
    const WinUsbFunctions functions = LookUpWinUsbFunctions(module);
    EXPECT_NE(functions.WinUsb_Initialize, nullptr);
    EXPECT_NE(functions.WinUsb_ReadPipe, nullptr);
    EXPECT_NE(functions.WinUsb_WritePipe, nullptr);
    EXPECT_NE(functions.WinUsb_Free, nullptr);
}

} // namespace
} // namespace ulmar::test
