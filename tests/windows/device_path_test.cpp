// Finding an adapter: the registry key it is confirmed under, every result
// code of the lookup, and the driver the lookup switches to.
#include "fake_windows_platform.h"

#include "transport/windows/windows_usb_backend.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ulmar::test {
namespace {

const std::string kPathA =
    "\\\\?\\usb#vid_04d8&pid_0053#5&2c3d4e5f&0&1#{5354fa28-6d14-4e35-a1f5-75bb54e6030f}";
const std::string kPathB =
    "\\\\?\\usb#vid_04d8&pid_0053#7&11aa22bb&0&2#{58d07210-27c1-11dd-bd0b-0800200c9a66}";

TEST(DeviceClassKey, FillsTheTemplateWithTheClassAndTheRegistryFormOfThePath) {
    EXPECT_EQ(DeviceClassKey(kInterfaceClassA, RegistryFormOfPath(kPathA)),
              "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\DEVICECLASSES\\"
              "{5354fa28-6d14-4e35-a1f5-75bb54e6030f}\\"
              "##?#usb#vid_04d8&pid_0053#5&2c3d4e5f&0&1#{5354fa28-6d14-4e35-a1f5-75bb54e6030f}");
    EXPECT_EQ(DeviceClassKey(kInterfaceClassB, RegistryFormOfPath(kPathB)),
              "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\DEVICECLASSES\\"
              "{58d07210-27c1-11dd-bd0b-0800200c9a66}\\"
              "##?#usb#vid_04d8&pid_0053#7&11aa22bb&0&2#{58d07210-27c1-11dd-bd0b-0800200c9a66}");
}

TEST(DeviceClassKey, RegistryFormLeavesShortPathsAlone) {
    EXPECT_EQ(RegistryFormOfPath("\\\\"), "##");
    EXPECT_EQ(RegistryFormOfPath(""), "");
}

TEST(DeviceClassKey, AdapterMatchIgnoresLetterCase) {
    EXPECT_TRUE(MatchesAdapter("USB\\VID_04D8&PID_0053\\5&2C3D4E5F&0&1"));
    EXPECT_TRUE(MatchesAdapter("usb\\vid_04d8&pid_0053\\x"));
    EXPECT_FALSE(MatchesAdapter("USB\\VID_04D8&PID_0054\\5&2C3D4E5F&0&1"));
    EXPECT_FALSE(MatchesAdapter(""));
}

class FindDevicePathTest : public ::testing::Test {
protected:
    FakeWindowsPlatform platform;
    WindowsUsbBackend backend{platform, WinUsbFunctions{}};
};

TEST_F(FindDevicePathTest, AdapterUnderClassAIsConfirmedAndSelectsTheEndpointFiles) {
    platform.classA.paths = {kPathA};
    platform.confirm(kInterfaceClassA, kPathA);
    char buffer[260];
    std::uint32_t length = 0;
    ASSERT_EQ(backend.findDevicePath(0, buffer, sizeof buffer, &length), kPathFound);
    EXPECT_EQ(std::string(buffer), kPathA);
    EXPECT_EQ(length, kPathA.size());
    EXPECT_EQ(backend.transportMode(), 0);
    ASSERT_EQ(platform.keysRead.size(), 1u);
    EXPECT_EQ(platform.keysRead[0], DeviceClassKey(kInterfaceClassA, RegistryFormOfPath(kPathA)));
}

TEST_F(FindDevicePathTest, InterfaceMissingUnderClassAIsLookedUpUnderClassB) {
    platform.classB.paths = {kPathB};
    platform.confirm(kInterfaceClassB, kPathB);
    ASSERT_EQ(backend.findDevicePath(0, nullptr, 0, nullptr), kPathFound);
    EXPECT_EQ(backend.transportMode(), 1);
    // The registry is asked under class A first, then under class B.
    ASSERT_EQ(platform.keysRead.size(), 2u);
    EXPECT_EQ(platform.keysRead[0], DeviceClassKey(kInterfaceClassA, RegistryFormOfPath(kPathB)));
    EXPECT_EQ(platform.keysRead[1], DeviceClassKey(kInterfaceClassB, RegistryFormOfPath(kPathB)));
}

TEST_F(FindDevicePathTest, IndexSelectsTheNthInterface) {
    const std::string second = kPathA + "-2";
    platform.classA.paths = {kPathA, second};
    platform.confirm(kInterfaceClassA, kPathA);
    platform.confirm(kInterfaceClassA, second);
    char buffer[260];
    ASSERT_EQ(backend.findDevicePath(1, buffer, sizeof buffer, nullptr), kPathFound);
    EXPECT_EQ(std::string(buffer), second);
    EXPECT_EQ(backend.findDevicePath(2, buffer, sizeof buffer, nullptr), kPathNoSuchAdapter);
    EXPECT_EQ(backend.adapterCount(), 2);
}

TEST_F(FindDevicePathTest, ListFailureGivesTwo) {
    platform.classA.listFails = true;
    EXPECT_EQ(backend.findDevicePath(0, nullptr, 0, nullptr), kPathListFailed);
    platform.classA.listFails = false;
    platform.classB.listFails = true;
    EXPECT_EQ(backend.findDevicePath(0, nullptr, 0, nullptr), kPathListFailed);
}

TEST_F(FindDevicePathTest, DetailRecordFailureGivesTwoWithoutTryingClassB) {
    platform.classA.paths = {kPathA};
    platform.classA.detailFails = true;
    platform.classB.paths = {kPathB};
    platform.confirm(kInterfaceClassB, kPathB);
    EXPECT_EQ(backend.findDevicePath(0, nullptr, 0, nullptr), kPathListFailed);
    EXPECT_TRUE(platform.keysRead.empty());
}

TEST_F(FindDevicePathTest, NoInterfaceUnderEitherClassGivesThree) {
    EXPECT_EQ(backend.findDevicePath(0, nullptr, 0, nullptr), kPathNoSuchAdapter);
    EXPECT_EQ(backend.adapterCount(), 0);
}

TEST_F(FindDevicePathTest, UnconfirmedAdapterGivesFourAndKeepsTheDriver) {
    platform.classB.paths = {kPathB};
    platform.confirm(kInterfaceClassB, kPathB);
    ASSERT_EQ(backend.findDevicePath(0, nullptr, 0, nullptr), kPathFound);
    platform.registry.clear();
    platform.confirm(kInterfaceClassB, kPathB, "USB\\VID_1234&PID_0053\\1");
    std::uint32_t length = 77;
    EXPECT_EQ(backend.findDevicePath(0, nullptr, 0, &length), kPathNotConfirmed);
    EXPECT_EQ(length, 77u);
    EXPECT_EQ(backend.transportMode(), 1);
}

TEST_F(FindDevicePathTest, BufferExactlyAsLongAsThePathIsTooSmall) {
    platform.classA.paths = {kPathA};
    platform.confirm(kInterfaceClassA, kPathA);
    std::vector<char> buffer(kPathA.size() + 1, 'x');
    std::uint32_t length = 0;
    EXPECT_EQ(backend.findDevicePath(0, buffer.data(), static_cast<std::uint32_t>(kPathA.size()),
                                     &length),
              kPathBufferTooSmall);
    EXPECT_EQ(length, kPathA.size());
    EXPECT_EQ(buffer[0], 'x'); // nothing copied

    ASSERT_EQ(backend.findDevicePath(0, buffer.data(),
                                     static_cast<std::uint32_t>(kPathA.size() + 1), &length),
              kPathFound);
    EXPECT_EQ(std::string(buffer.data()), kPathA);
}

TEST_F(FindDevicePathTest, CountingAdaptersDoesNotSwitchTheDriver) {
    platform.classA.paths = {kPathA};
    platform.confirm(kInterfaceClassA, kPathA);
    platform.classB.paths = {kPathB, kPathB + "-2"};
    platform.confirm(kInterfaceClassB, kPathB + "-2");
    ASSERT_EQ(backend.findDevicePath(1, nullptr, 0, nullptr), kPathFound);
    ASSERT_EQ(backend.transportMode(), 1);
    EXPECT_EQ(backend.adapterCount(), 2); // class A interface 0, class B interface 1
    EXPECT_EQ(backend.transportMode(), 1);
}

} // namespace
} // namespace ulmar::test
