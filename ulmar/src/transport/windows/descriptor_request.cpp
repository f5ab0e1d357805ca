// Standard descriptor requests: through WinUSB, or through the per-endpoint
// driver's device I/O control on the device's control pipe file.
#include "transport/windows/slot_handle.h"
#include "transport/windows/windows_usb_backend.h"

#include <cstdio>

namespace ulmar {

namespace {

constexpr DWORD kGetDescriptorControlCode = 0x00226004;

} // namespace

int WindowsUsbBackend::getDescriptor(int device, std::int32_t controlIn, std::uint8_t type,
                                     std::uint8_t index, std::uint16_t language,
                                     std::uint8_t* buffer, std::uint32_t size,
                                     std::uint32_t* count) {
    *count = 0;
    if (viaWinUsb(device, controlIn)) {
        if (buffer == nullptr) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        ULONG done = 0;
        if (!winusb_.WinUsb_GetDescriptor(deviceState(device).winusbHandle, type, index, language,
                                          buffer, size, &done))
            return 0;
        *count = done;
        return 1;
    }
    // Request: descriptor type, index, language (little-endian).
    const std::uint8_t request[4] = {type, index, static_cast<std::uint8_t>(language & 0xFF),
                                     static_cast<std::uint8_t>(language >> 8)};
    DWORD done = 0;
    if (!platform_.deviceControl(HandleOfSlot(controlIn), kGetDescriptorControlCode, request,
                                 sizeof request, buffer, size, done)) {
        std::printf("Get dsc error: %d\n", static_cast<int>(::GetLastError()));
        std::fflush(stdout);
        return 0;
    }
    *count = done;
    return 1;
}

} // namespace ulmar
