// Argument checks, the device table and the open counter, driven through the
// exports against the in-process fake adapter.
#include "fake_fixture.h"

#include <functional>
#include <string>

using namespace ulmar;
using namespace ulmar::test;

namespace {

// Every export with a device type, called with the given type, index and
// channel and valid pointers.
std::vector<std::pair<std::string, std::function<int32_t(uint32_t, uint32_t, uint32_t)>>>
allExports() {
    static VciCanFrame frames[4]{};
    static VciInitConfig config{};
    static VciCanStatus status{};
    static VciErrorInfo error{};
    static VciBoardInfo board{};
    static VciDeviceList list{};
    static uint32_t value = 0x00010001;
    static uint8_t bytes[32]{};
    return {
        {"OpenDevice", [](uint32_t t, uint32_t i, uint32_t) { return VCI_OpenDevice(t, i, 0); }},
        {"CloseDevice", [](uint32_t t, uint32_t i, uint32_t) { return VCI_CloseDevice(t, i); }},
        {"InitCAN",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_InitCAN(t, i, c, &config); }},
        {"StartCAN", [](uint32_t t, uint32_t i, uint32_t c) { return VCI_StartCAN(t, i, c); }},
        {"ResetCAN", [](uint32_t t, uint32_t i, uint32_t c) { return VCI_ResetCAN(t, i, c); }},
        {"ClearBuffer",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_ClearBuffer(t, i, c); }},
        {"GetReference",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_GetReference(t, i, c, 30, &value); }},
        {"SetReference",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_SetReference(t, i, c, 2, &value); }},
        {"GetReference2",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_GetReference2(t, i, c, 0, bytes); }},
        {"SetReference2",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_SetReference2(t, i, c, 2, bytes); }},
        {"Transmit",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_Transmit(t, i, c, frames, 4); }},
        {"Receive",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_Receive(t, i, c, frames, 4, 0); }},
        {"GetReceiveNum",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_GetReceiveNum(t, i, c); }},
        {"ReadCANStatus",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_ReadCANStatus(t, i, c, &status); }},
        {"ReadErrInfo",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_ReadErrInfo(t, i, c, &error); }},
        {"ReadBoardInfo",
         [](uint32_t t, uint32_t i, uint32_t) { return VCI_ReadBoardInfo(t, i, &board); }},
        {"WriteBoardInfo",
         [](uint32_t t, uint32_t i, uint32_t) { return VCI_WriteBoardInfo(t, i, &list); }},
        {"UsbDeviceReset",
         [](uint32_t t, uint32_t i, uint32_t) { return VCI_UsbDeviceReset(t, i, 0); }},
        {"ConnectDevice", [](uint32_t t, uint32_t i, uint32_t) { return VCI_ConnectDevice(t, i); }},
        {"ResumeConfig",
         [](uint32_t t, uint32_t i, uint32_t c) { return VCI_ResumeConfig(t, i, c); }},
        {"GetRepeaterReference",
         [](uint32_t t, uint32_t i, uint32_t c) {
             return VCI_GetRepeaterReference(t, i, c, 0, bytes);
         }},
        {"SetRepeaterReference",
         [](uint32_t t, uint32_t i, uint32_t c) {
             return VCI_SetRepeaterReference(t, i, c, 0, bytes);
         }},
    };
}

bool takesChannel(const std::string& name) {
    for (const char* deviceOnly : {"OpenDevice", "CloseDevice", "ReadBoardInfo", "WriteBoardInfo",
                                   "UsbDeviceReset", "ConnectDevice"}) {
        if (name == deviceOnly)
            return false;
    }
    return true;
}

} // namespace

class ArgumentCheck : public FakeAdapterTest {};

TEST_F(ArgumentCheck, BadTypeIndexOrChannelReturnsZeroWithoutTraffic) {
    openDevice();
    const int trafficBefore = adapter.traffic();
    for (const auto& [name, call] : allExports()) {
        for (uint32_t type : {0u, 1u, 2u, 5u, 19u, 22u, 0xFFFFFFFFu})
            EXPECT_EQ(call(type, 0, 0), 0) << name << " type " << type;
        // 10 to 100 pass the range check but have no device table entry.
        for (uint32_t index : {10u, 100u, 101u, 0xFFFFFFFFu})
            EXPECT_EQ(call(4, index, 0), 0) << name << " index " << index;
        if (takesChannel(name)) {
            for (uint32_t channel : {2u, 0xFFFFFFFFu})
                EXPECT_EQ(call(4, 0, channel), 0) << name << " channel " << channel;
        }
    }
    EXPECT_EQ(adapter.traffic(), trafficBefore);
    EXPECT_EQ(openCount(), 1);
}

TEST_F(ArgumentCheck, NullPointersReturnZeroWithoutTraffic) {
    openDevice(21);
    const int trafficBefore = adapter.traffic();
    EXPECT_EQ(VCI_InitCAN(4, 0, 0, nullptr), 0);
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 30, nullptr), 0);
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, nullptr), 0);
    for (uint32_t kind : {0u, 1u, 4u})
        EXPECT_EQ(VCI_SetReference(21, 0, 0, kind, nullptr), 0) << "kind " << kind;
    EXPECT_EQ(VCI_GetReference2(4, 0, 0, 0, nullptr), 0);
    for (uint32_t kind : {0u, 2u, 9u, 10u, 13u, 15u, 16u})
        EXPECT_EQ(VCI_SetReference2(4, 0, 0, kind, nullptr), 0) << "kind " << kind;
    EXPECT_EQ(VCI_Transmit(4, 0, 0, nullptr, 1), 0);
    EXPECT_EQ(VCI_Receive(4, 0, 0, nullptr, 1, 0), 0);
    EXPECT_EQ(VCI_ReadCANStatus(4, 0, 0, nullptr), 0);
    EXPECT_EQ(VCI_ReadErrInfo(4, 0, 0, nullptr), 0);
    EXPECT_EQ(VCI_ReadBoardInfo(4, 0, nullptr), 0);
    EXPECT_EQ(VCI_WriteBoardInfo(4, 0, nullptr), 0);
    EXPECT_EQ(VCI_FindUsbDevice(nullptr), 0);
    EXPECT_EQ(VCI_FindUsbDevice2(nullptr), 0);
    EXPECT_EQ(VCI_GetRepeaterReference(4, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(VCI_SetRepeaterReference(4, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(adapter.traffic(), trafficBefore);
}

TEST_F(ArgumentCheck, PointersThatAreNotReadMayBeNull) {
    openDevice();
    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 11, nullptr), 1);
    EXPECT_EQ(VCI_SetRepeaterReference(4, 0, 0, 1, nullptr), 1);
    const auto packets = packetsTo(kCommandOut0);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(wordOf(packets[1], 0), 13u);
    EXPECT_EQ(wordOf(packets[1], 1), 1u);
    EXPECT_EQ(wordOf(packets[1], 2), 0u);
}

TEST_F(ArgumentCheck, ResumeConfigChecksOnly) {
    EXPECT_EQ(VCI_ResumeConfig(4, 0, 1), 1);
    EXPECT_EQ(VCI_ResumeConfig(4, 0, 2), 0);
    EXPECT_EQ(adapter.traffic(), 0);
}

class DeviceLifecycle : public FakeAdapterTest {};

TEST_F(DeviceLifecycle, OpenOpensThirteenPipesInOrder) {
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    const std::vector<uint8_t> order{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x80,
                                     0x81, 0x82, 0x83, 0x84, 0x85, 0x86};
    EXPECT_EQ(adapter.openedEndpoints, order);
    const std::array<int32_t, 13> slots{0x80, 0x01, 0x81, 0x02, 0x82, 0x05, 0x85,
                                        0x03, 0x83, 0x04, 0x84, 0x06, 0x86};
    EXPECT_EQ(deviceEntry(0).slots, slots);
    EXPECT_EQ(openCount(), 1);
}

TEST_F(DeviceLifecycle, AuxiliaryPipesAreOptional) {
    adapter.refusedEndpoints = {0x05, 0x06, 0x85, 0x86};
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(deviceEntry(0).slots[auxOutSlot(0)], kNoPipe);
    uint32_t value = 77;
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, &value), 0);
    EXPECT_EQ(value, 77u);
}

TEST_F(DeviceLifecycle, MissingRequiredPipeFailsAndLeavesOthersOpen) {
    adapter.refusedEndpoints = {0x83};
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 0);
    EXPECT_EQ(openCount(), 0);
    EXPECT_EQ(deviceEntry(0).slots[frameInSlot(1)], kNoPipe);
    EXPECT_EQ(deviceEntry(0).slots[frameInSlot(0)], 0x81);
}

TEST_F(DeviceLifecycle, NoAdapterMeansNoOpen) {
    adapter.adapters = 0;
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 0);
    EXPECT_TRUE(adapter.openedEndpoints.empty());
    EXPECT_EQ(VCI_ConnectDevice(4, 0), 0);
}

TEST_F(DeviceLifecycle, TypeFourOpenedTwiceIsClosedByOneClose) {
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(adapter.openedEndpoints.size(), 26u) << "both opens reopen the pipes";
    EXPECT_EQ(adapter.closedPipes.size(), 13u) << "the second open first closes";
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(adapter.closedPipes.size(), 26u);
    for (int32_t slot : deviceEntry(0).slots)
        EXPECT_EQ(slot, kNoPipe);
    EXPECT_EQ(openCount(), 0);
}

TEST_F(DeviceLifecycle, TypeTwentyOneOpenedTwiceNeedsTwoCloses) {
    EXPECT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    const int trafficAfterFirst = adapter.traffic();
    EXPECT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    EXPECT_EQ(adapter.traffic(), trafficAfterFirst);
    EXPECT_EQ(openCount(), 2);
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
    EXPECT_TRUE(adapter.closedPipes.empty());
    EXPECT_EQ(deviceEntry(0).slots[frameOutSlot(0)], 0x01);
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
    EXPECT_EQ(adapter.closedPipes.size(), 13u);
    EXPECT_EQ(deviceEntry(0).slots[frameOutSlot(0)], kNoPipe);
}

TEST_F(DeviceLifecycle, CloseWithoutOpenClosesNothing) {
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(openCount(), -1);
    EXPECT_EQ(adapter.traffic(), 0);
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(openCount(), 1);
}

TEST_F(DeviceLifecycle, CommandsBeforeOpenFindNoPipe) {
    VciInitConfig config{};
    config.btr1 = 0x1C;
    VciCanFrame frame{};
    VciCanStatus status{};
    EXPECT_EQ(VCI_InitCAN(4, 0, 0, &config), -1);
    EXPECT_EQ(VCI_StartCAN(4, 0, 1), -1);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, &frame, 1), -1);
    EXPECT_EQ(VCI_Receive(4, 0, 0, &frame, 1, 0), -1);
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 0), -1);
    EXPECT_EQ(VCI_ReadCANStatus(4, 0, 0, &status), -1);
    EXPECT_EQ(VCI_UsbDeviceReset(4, 0, 0), -1);
    EXPECT_EQ(adapter.traffic(), 0);
}

TEST_F(DeviceLifecycle, PipeThatWouldNotCloseIsClosedByTheNextOpen) {
    openDevice();
    adapter.stuckPipes = {kFrameIn0};
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
    EXPECT_EQ(deviceEntry(0).slots[frameInSlot(0)], kFrameIn0) << "still open";
    EXPECT_EQ(deviceEntry(0).slots[frameOutSlot(0)], kNoPipe);

    adapter.stuckPipes.clear();
    adapter.closedPipes.clear();
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(adapter.closedPipes, std::vector<std::int32_t>{kFrameIn0})
        << "the backend that opened it closes it";
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

TEST_F(DeviceLifecycle, FinalCloseEmptiesFiltersButKeepsRate) {
    openDevice(20);
    const uint32_t rate = 3 | 12u << 16 | 1u << 20;
    const VciFilterEntry entry{0, 0x100, 0x1FF};
    for (uint32_t channel : {0u, 1u}) {
        ASSERT_EQ(VCI_SetReference(20, 0, channel, 0, &rate), 1);
        ASSERT_EQ(VCI_SetReference(20, 0, channel, 1, &entry), 1);
        ASSERT_EQ(VCI_SetReference(20, 0, channel, 2, nullptr), 1);
    }
    EXPECT_EQ(VCI_CloseDevice(20, 0), 1);
    for (uint32_t channel : {0u, 1u}) {
        EXPECT_EQ(channelState(channel).filterCount, 0);
        EXPECT_EQ(channelState(channel).filterEnabled, 0u);
        EXPECT_EQ(channelState(channel).rateSet, 1u);
        EXPECT_EQ(channelState(channel).rateIndex, 6u);
    }
}

TEST_F(DeviceLifecycle, UsbAdaptersComeBeforeVirtualOnes) {
    usb.adapters = 1;
    char path[64];
    EXPECT_EQ(FindDevicePath(0, path, sizeof path, nullptr), kPathFound);
    EXPECT_EQ(FindDevicePath(1, path, sizeof path, nullptr), kPathFound);
    EXPECT_EQ(FindDevicePath(2, path, sizeof path, nullptr), kPathNoSuchAdapter);
    EXPECT_EQ(VCI_OpenDevice(4, 1, 0), 1);
    EXPECT_TRUE(usb.openedEndpoints.empty());
    EXPECT_EQ(adapter.attachedDevices, std::vector<int>{1});
    EXPECT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    EXPECT_EQ(usb.attachedDevices, std::vector<int>{0});
}

TEST_F(DeviceLifecycle, PathBufferMustBeLargerThanThePath) {
    uint32_t length = 0;
    char path[7];
    EXPECT_EQ(FindDevicePath(0, path, 6, &length), kPathBufferTooSmall); // "fake:0" is 6
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(FindDevicePath(0, path, 7, nullptr), kPathFound);
    EXPECT_STREQ(path, "fake:0");
}
