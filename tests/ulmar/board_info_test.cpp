// Board information from descriptors, device discovery and the maintenance
// commands.
#include "fake_fixture.h"

#include <cstring>
#include <string>

using namespace ulmar;
using namespace ulmar::test;

namespace {

constexpr int kDeviceDescriptor = 1 << 8;
constexpr int kProductString = 3 << 8 | 2;
constexpr int kSerialString = 3 << 8 | 4;

std::vector<uint8_t> stringDescriptor(const std::string& text) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<uint8_t> deviceDescriptor(uint16_t release) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[0] = 18;
    bytes[1] = 1;
    bytes[12] = static_cast<uint8_t>(release);
    bytes[13] = static_cast<uint8_t>(release >> 8);
    return bytes;
}

} // namespace

class BoardInfo : public FakeAdapterTest {
protected:
    VciBoardInfo read() {
        VciBoardInfo info;
        std::memset(&info, 0xEE, sizeof info);
        result = VCI_ReadBoardInfo(4, 0, &info);
        return info;
    }
    int32_t result = -2;
};

TEST_F(BoardInfo, KestraCodeAndRelease) {
    openDevice();
    adapter.descriptors[kDeviceDescriptor] = deviceDescriptor(0x0317);
    adapter.descriptors[kProductString] = stringDescriptor("1234 Ulmar adapter");
    const VciBoardInfo info = read();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(info.reportedVersion1, 0x0200);
    EXPECT_EQ(info.deviceRelease, 0x0317);
    EXPECT_EQ(info.reportedVersion2, 0x0200);
    EXPECT_EQ(info.libraryVersion, 0x0193);
    EXPECT_EQ(info.reservedWord, 0);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_STREQ(info.serialText, "KESTRA-1234");
    EXPECT_STREQ(info.typeText, "KESTRA-II");
    EXPECT_EQ(static_cast<uint8_t>(info.serialText[12]), 0xEE) << "12 bytes of serial text";
}

TEST_F(BoardInfo, VelomarkCodes) {
    openDevice();
    for (const char* code : {"7000", "8A01", "9ZZZ", "B123", "E000", "F999"}) {
        adapter.descriptors[kProductString] = stringDescriptor(code);
        const VciBoardInfo info = read();
        EXPECT_EQ(result, 1);
        EXPECT_EQ(std::string(info.serialText), std::string("0007042") + code);
        EXPECT_STREQ(info.typeText, "Velomark-II");
    }
    for (const char* code : {"A000", "CAN1", "6999"}) {
        adapter.descriptors[kProductString] = stringDescriptor(code);
        EXPECT_STREQ(read().typeText, "KESTRA-II") << code;
    }
}

TEST_F(BoardInfo, SerialStringOfEighteenBytesReplacesTheStart) {
    openDevice();
    adapter.descriptors[kProductString] = stringDescriptor("1234");
    adapter.descriptors[kSerialString] = stringDescriptor("XABCDEFG"); // 18 bytes
    EXPECT_STREQ(read().serialText, "ABCDEFG1234");
    adapter.descriptors[kSerialString] = stringDescriptor("XABCDEF"); // 16 bytes
    EXPECT_STREQ(read().serialText, "KESTRA-1234");
}

TEST_F(BoardInfo, NoProductStringKeepsTheConstantsOnly) {
    openDevice();
    const VciBoardInfo info = read();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(info.deviceRelease, 0x0225);
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(static_cast<uint8_t>(info.serialText[0]), 0xEE);
    EXPECT_EQ(static_cast<uint8_t>(info.typeText[0]), 0xEE);
}

TEST_F(BoardInfo, ShortProductStringMarksMissingCharacters) {
    openDevice();
    adapter.descriptors[kProductString] = stringDescriptor("12");
    adapter.descriptors[kDeviceDescriptor] = std::vector<uint8_t>(12, 1);
    const VciBoardInfo info = read();
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(info.serialText, "KESTRA-12??");
    EXPECT_EQ(info.deviceRelease, 0x0225) << "a descriptor without release bytes";
}

TEST_F(BoardInfo, ClosedDeviceKeepsConstants) {
    const VciBoardInfo info = read();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(info.libraryVersion, 0x0193);
    EXPECT_EQ(adapter.traffic(), 0);
}

TEST_F(BoardInfo, WriteBoardInfoSignExtendsTheFirstCode) {
    openDevice();
    VciDeviceList list{};
    std::memcpy(list.deviceCodes[0], "A\x80z\xFF", 4);
    std::memcpy(list.deviceCodes[1], "ZZZZ", 4);
    EXPECT_EQ(VCI_WriteBoardInfo(4, 0, &list), 1);
    const auto packet = packetsTo(kCommandOut0).at(0);
    EXPECT_EQ(wordOf(packet, 0), 6u);
    EXPECT_EQ(wordOf(packet, 1), 0x41u);
    EXPECT_EQ(wordOf(packet, 2), 0xFFFFFF80u);
    EXPECT_EQ(wordOf(packet, 3), 0x7Au);
    EXPECT_EQ(wordOf(packet, 4), 0xFFFFFFFFu);
    EXPECT_EQ(wordOf(packet, 5), 0u);
}

TEST_F(BoardInfo, MaintenanceCommands) {
    openDevice();
    EXPECT_EQ(VCI_UsbDeviceReset(4, 0, 0), 1);
    EXPECT_EQ(wordOf(packetsTo(kCommandOut0).at(0), 0), 7u);
    const uint8_t setting = 0x5A;
    EXPECT_EQ(VCI_SetRepeaterReference(4, 0, 1, 0, &setting), 1);
    const auto packet = packetsTo(kCommandOut1).at(0);
    EXPECT_EQ(wordOf(packet, 0), 13u);
    EXPECT_EQ(wordOf(packet, 1), 0u);
    EXPECT_EQ(wordOf(packet, 2), 0x5Au);

    adapter.readScript[kReplyIn0] = {{true, replyWords({0, 0x1C3})}, {true, {1}}};
    uint8_t value = 0;
    EXPECT_EQ(VCI_GetRepeaterReference(4, 0, 0, 99, &value), 1);
    EXPECT_EQ(value, 0xC3);
    EXPECT_EQ(wordOf(packetsTo(kCommandOut0).at(1), 0), 12u);
    EXPECT_EQ(VCI_GetRepeaterReference(4, 0, 0, 0, &value), 1) << "short reply";
    EXPECT_EQ(value, 0xC3);
    EXPECT_EQ(VCI_GetRepeaterReference(4, 0, 0, 0, &value), 0) << "read times out";
}

class Discovery : public FakeAdapterTest {};

TEST_F(Discovery, FindUsbDeviceListsEveryAdapterAndClosesThem) {
    adapter.adapters = 2;
    adapter.descriptors[kProductString] = stringDescriptor("8A01");
    adapter.descriptors[kDeviceDescriptor] = deviceDescriptor(0x0401);
    VciDeviceList list;
    std::memset(&list, 0xEE, sizeof list);
    EXPECT_EQ(VCI_FindUsbDevice2(&list), 2);
    EXPECT_EQ(adapter.attachedDevices, (std::vector<int>{0, 1}));
    EXPECT_EQ(adapter.closedPipes.size(), 26u);
    for (int device = 0; device < 2; ++device) {
        for (int32_t slot : deviceEntry(device).slots)
            EXPECT_EQ(slot, kNoPipe);
        EXPECT_EQ(std::string(list.deviceCodes[device], 4), "8A01");
    }
    EXPECT_EQ(static_cast<uint8_t>(list.deviceCodes[2][0]), 0xEE);
    EXPECT_EQ(std::string(list.serialText, 8), "CAN-8A01");
    EXPECT_STREQ(list.typeText, "KESTRA-II");
    EXPECT_EQ(list.deviceRelease, 0x0401);
    EXPECT_EQ(list.spareByte, 0);
    EXPECT_EQ(list.libraryVersion, 0x0193);
}

TEST_F(Discovery, NoAdapterFillsOnlyConstants) {
    adapter.adapters = 0;
    VciDeviceList list;
    std::memset(&list, 0xEE, sizeof list);
    EXPECT_EQ(VCI_FindUsbDevice(&list), 0);
    EXPECT_EQ(std::string(list.serialText, 4), "CAN-");
    EXPECT_EQ(static_cast<uint8_t>(list.serialText[4]), 0xEE);
    EXPECT_EQ(list.deviceRelease, 0x0225);
    EXPECT_EQ(adapter.traffic(), 0);
}

TEST_F(Discovery, ConnectDeviceLooksUpWithoutOpening) {
    adapter.adapters = 2;
    EXPECT_EQ(VCI_ConnectDevice(4, 1), 1);
    EXPECT_EQ(VCI_ConnectDevice(4, 2), 0);
    EXPECT_EQ(adapter.traffic(), 0);
}
