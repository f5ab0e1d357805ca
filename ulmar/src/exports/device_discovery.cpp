// Which adapters are present, and their device codes.
#include "core/argument_check.h"
#include "protocol/device_code.h"
#include "transport/transport.h"

#include <array>
#include <cstring>

using namespace ulmar;

namespace {

void fillListConstants(VciDeviceList& list) {
    const BoardConstants constants;
    list.reportedVersion1 = constants.reportedVersion1;
    list.deviceRelease = constants.deviceRelease;
    list.reportedVersion2 = constants.reportedVersion2;
    list.libraryVersion = constants.libraryVersion;
    list.reservedWord = constants.reservedWord;
    list.channelCount = constants.channelCount;
    list.spareByte = 0;
    std::memcpy(list.serialText, "CAN-", 4);
    std::memcpy(list.typeText, "KESTRA-II", 10);
}

// Reads release and device code of an open device into the list.
void describeDevice(int device, VciDeviceList& list) {
    const int32_t controlIn = deviceEntry(device).slots[kControlInSlot];
    std::array<uint8_t, 18> descriptor{};
    uint32_t length = 0;
    if (GetDeviceDescriptor(device, controlIn, descriptor.data(), &length) == 1)
        list.deviceRelease = deviceReleaseOf(descriptor.data(), length, list.deviceRelease);
    if (GetStringDescriptor(device, controlIn, kProductStringIndex, descriptor.data(),
                            kProductStringSize, &length) != 1 ||
        length == 0)
        return;
    const DeviceCode code = deviceCodeOf(descriptor.data(), length);
    std::memcpy(list.deviceCodes[device], code.data(), code.size());
    std::memcpy(list.serialText + 4, code.data(), code.size());
}

} // namespace

// Opens and closes every present adapter in turn, so it must not be called
// while the host has one open.
int32_t VCI_API VCI_FindUsbDevice(VciDeviceList* list) {
    if (list == nullptr)
        return 0;
    fillListConstants(*list);
    int count = 0;
    for (int device = 0; device < kDeviceCount; ++device) {
        if (FindDevicePath(device, nullptr, 0, nullptr) == kPathFound)
            ++count;
    }
    for (int device = 0; device < count; ++device) {
        if (OpenDevicePipes(device) == 1)
            describeDevice(device, *list);
        CloseDevicePipes(device);
    }
    return count;
}

#ifndef _WIN32
// The second export name is the same entry (Windows maps it in its .def).
extern "C" int32_t VCI_FindUsbDevice2(VciDeviceList* list)
    __attribute__((alias("VCI_FindUsbDevice")));
#endif

int32_t VCI_API VCI_ConnectDevice(uint32_t deviceType, uint32_t deviceIndex) {
    if (!checkDevice(deviceType, deviceIndex))
        return 0;
    return FindDevicePath(deviceOf(deviceIndex), nullptr, 0, nullptr) == kPathFound ? 1 : 0;
}
