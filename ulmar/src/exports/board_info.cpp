// Reading the board information from the adapter's descriptors, and writing
// its device code.
#include "core/argument_check.h"
#include "protocol/command_channel.h"
#include "protocol/device_code.h"
#include "transport/transport.h"

#include <array>

using namespace ulmar;

int32_t VCI_API VCI_ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VciBoardInfo* info) {
    if (!checkDevice(deviceType, deviceIndex) || info == nullptr)
        return 0;
    const int device = deviceOf(deviceIndex);
    const int32_t controlIn = deviceEntry(device).slots[kControlInSlot];
    const BoardConstants constants;
    info->reportedVersion1 = constants.reportedVersion1;
    info->reportedVersion2 = constants.reportedVersion2;
    info->libraryVersion = constants.libraryVersion;
    info->reservedWord = constants.reservedWord;
    info->channelCount = constants.channelCount;

    std::array<uint8_t, 18> descriptor{};
    uint32_t length = 0;
    info->deviceRelease = constants.deviceRelease;
    if (GetDeviceDescriptor(device, controlIn, descriptor.data(), &length) == 1)
        info->deviceRelease = deviceReleaseOf(descriptor.data(), length, constants.deviceRelease);

    int32_t result = 0;
    if (GetStringDescriptor(device, controlIn, kProductStringIndex, descriptor.data(),
                            kProductStringSize, &length) == 1 &&
        length > 0) {
        writeBoardTexts(*info, deviceCodeOf(descriptor.data(), length));
        result = 1;
    }
    if (GetStringDescriptor(device, controlIn, kSerialStringIndex, descriptor.data(),
                            kSerialStringSize, &length) == 1)
        applySerialString(*info, descriptor.data(), length);
    return result;
}

// Sends the first device code of the record; the library keeps no copy.
int32_t VCI_API VCI_WriteBoardInfo(uint32_t deviceType, uint32_t deviceIndex,
                                   const VciDeviceList* list) {
    if (!checkDevice(deviceType, deviceIndex) || list == nullptr)
        return 0;
    CommandPacket packet(Opcode::WriteDeviceCode);
    for (int i = 0; i < 4; ++i) {
        const auto character = static_cast<int8_t>(list->deviceCodes[0][i]);
        packet.words[1 + i] = static_cast<uint32_t>(static_cast<int32_t>(character));
    }
    return sendCommand(deviceOf(deviceIndex), commandOutSlot(0), packet);
}
