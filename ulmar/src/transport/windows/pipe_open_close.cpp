// Opening and closing the pipes of a device: WinUSB pipes share one handle
// counted by `pipeRefs`; per-endpoint files are one handle per slot.
#include "transport/windows/device_classes.h"
#include "transport/windows/slot_handle.h"
#include "transport/windows/windows_usb_backend.h"

#include <algorithm>

namespace ulmar {

namespace {

// Longest interface path the lookups of one open accept, terminator included.
constexpr std::uint32_t kPathBufferSize = 260;

} // namespace

std::int32_t WindowsUsbBackend::openPipe(int device, std::uint8_t endpoint) {
    const int number = endpoint & 0x7F;
    const int direction = (endpoint & 0x80) != 0 ? 1 : 0;
    if (winusbAvailable_) {
        const std::int32_t pipe = OpenPipe(number, device, direction);
        if (transportMode_ == 1)
            return pipe;
    }
    return openEndpointFile(device, number, direction);
}

std::int32_t WindowsUsbBackend::OpenPipe(int endpoint, int device, int direction) {
    if (direction != 0 && direction != 1) {
        ::SetLastError(ERROR_INVALID_DATA);
        return kNoPipe;
    }
    const std::int32_t pipeId = endpoint + (direction == 1 ? 0x80 : 0x00);
    WinUsbDeviceState& d = state(device);
    char path[kPathBufferSize];
    // A lookup that fails part way through an open leaves the handle of the
    // pipes already open live and counted, so that closing them frees it.
    if (FindDevicePath(d.adapter, path, sizeof path, nullptr) != kPathFound) {
        ::SetLastError(ERROR_INVALID_DATA);
        return kNoPipe;
    }
    if (d.deviceFile != INVALID_HANDLE_VALUE && d.winusbReady) {
        ++d.pipeRefs;
        return pipeId;
    }
    d.deviceFile = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (d.deviceFile == INVALID_HANDLE_VALUE) {
        d.winusbReady = false;
        transportMode_ = 0;
        d.winusbHandle = INVALID_HANDLE_VALUE;
        return kNoPipe;
    }
    if (!winusb_.WinUsb_Initialize(d.deviceFile, &d.winusbHandle)) {
        d.winusbReady = false;
        ::CloseHandle(d.deviceFile);
        d.deviceFile = INVALID_HANDLE_VALUE;
        d.winusbHandle = INVALID_HANDLE_VALUE;
        transportMode_ = 0;
        return kNoPipe;
    }
    ++d.pipeRefs;
    if (winusb_.WinUsb_SetPowerPolicy != nullptr) {
        UCHAR autoSuspend = 0;
        winusb_.WinUsb_SetPowerPolicy(d.winusbHandle, AUTO_SUSPEND, sizeof autoSuspend,
                                      &autoSuspend);
    }
    d.winusbReady = true;
    transportMode_ = 1;
    return pipeId;
}

std::int32_t WindowsUsbBackend::openEndpointFile(int device, int endpoint, int direction) {
    char path[kPathBufferSize];
    if (FindDevicePath(state(device).adapter, path, sizeof path, nullptr) != kPathFound)
        return kNoPipe;
    const std::string name = endpoint == 0 ? path : path + EndpointName(endpoint);
    const DWORD access = direction == 0 ? GENERIC_WRITE : GENERIC_READ;
    const HANDLE file = ::CreateFileA(name.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        endpointFiles_[static_cast<std::size_t>(device)].push_back(SlotOfHandle(file));
    return SlotOfHandle(file);
}

bool WindowsUsbBackend::viaWinUsb(int device, std::int32_t pipe) const {
    const auto& files = endpointFiles_[static_cast<std::size_t>(device)];
    return winusbAvailable_ && std::find(files.begin(), files.end(), pipe) == files.end();
}

bool WindowsUsbBackend::closePipe(int device, std::int32_t pipe) {
    if (pipe == kNoPipe)
        return true;
    auto& files = endpointFiles_[static_cast<std::size_t>(device)];
    const auto file = std::find(files.begin(), files.end(), pipe);
    if (file == files.end())
        return ReleasePipeRef(device);
    if (!::CloseHandle(HandleOfSlot(pipe)))
        return false;
    files.erase(file);
    return true;
}

bool WindowsUsbBackend::ReleasePipeRef(int device) {
    WinUsbDeviceState& d = state(device);
    if (d.pipeRefs >= 2) {
        --d.pipeRefs;
        return true;
    }
    d.pipeRefs = 0;
    if (!d.winusbReady)
        return false;
    d.winusbReady = false;
    if (!winusb_.WinUsb_Free(d.winusbHandle))
        return false;
    d.winusbHandle = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(d.deviceFile))
        return false;
    d.deviceFile = INVALID_HANDLE_VALUE;
    return true;
}

} // namespace ulmar
