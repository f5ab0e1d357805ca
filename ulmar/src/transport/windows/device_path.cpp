// Finding adapter n among the device interfaces and confirming it through
// the registry.
#include "transport/windows/device_classes.h"
#include "transport/windows/windows_usb_backend.h"

#include <cstring>

namespace ulmar {

WindowsUsbBackend::WindowsUsbBackend(WindowsPlatform& platform, const WinUsbFunctions& winusb)
    : platform_(platform), winusb_(winusb), winusbAvailable_(HasRequiredFunctions(winusb)) {}

const WinUsbDeviceState& WindowsUsbBackend::deviceState(int device) const {
    return devices_[static_cast<std::size_t>(device)];
}

int WindowsUsbBackend::FindDevicePath(int n, char* buffer, std::uint32_t size,
                                      std::uint32_t* length) {
    std::string path;
    const auto index = static_cast<std::uint32_t>(n);
    InterfaceQuery query = platform_.queryInterfacePath(kInterfaceClassA, index, path);
    if (query == InterfaceQuery::NoInterface)
        query = platform_.queryInterfacePath(kInterfaceClassB, index, path);
    switch (query) {
    case InterfaceQuery::ListFailed:
    case InterfaceQuery::DetailFailed:
        return kPathListFailed;
    case InterfaceQuery::NoInterface:
        return kPathNoSuchAdapter;
    case InterfaceQuery::Found:
        break;
    }
    if (!CheckDeviceRegistry(path))
        return kPathNotConfirmed;
    if (length != nullptr)
        *length = static_cast<std::uint32_t>(path.size());
    if (buffer != nullptr) {
        if (size <= path.size())
            return kPathBufferTooSmall;
        std::memcpy(buffer, path.c_str(), path.size() + 1);
    }
    return kPathFound;
}

bool WindowsUsbBackend::CheckDeviceRegistry(const std::string& path) {
    const std::string registryPath = RegistryFormOfPath(path);
    if (confirmedUnder(kInterfaceClassA, registryPath)) {
        transportMode_ = 0;
        return true;
    }
    if (confirmedUnder(kInterfaceClassB, registryPath)) {
        transportMode_ = 1;
        return true;
    }
    return false;
}

bool WindowsUsbBackend::confirmedUnder(const GUID& interfaceClass,
                                       const std::string& registryPath) {
    std::string deviceInstance;
    return platform_.readDeviceInstance(DeviceClassKey(interfaceClass, registryPath),
                                        deviceInstance) &&
           MatchesAdapter(deviceInstance);
}

// Counting must not switch the driver in use: only the lookup of one
// adapter does that.
int WindowsUsbBackend::adapterCount() {
    const int mode = transportMode_;
    int count = 0;
    while (count < kDeviceCount) {
        const int found = FindDevicePath(count, nullptr, 0, nullptr);
        if (found == kPathListFailed || found == kPathNoSuchAdapter)
            break;
        ++count;
    }
    transportMode_ = mode;
    return count;
}

int WindowsUsbBackend::findDevicePath(int adapter, char* path, std::uint32_t size,
                                      std::uint32_t* length) {
    return FindDevicePath(adapter, path, size, length);
}

bool WindowsUsbBackend::attach(int device, int adapter) {
    if (device < 0 || device >= kDeviceCount)
        return false;
    state(device).adapter = adapter;
    return true;
}

void WindowsUsbBackend::detach(int device) {
    state(device).adapter = -1;
}

} // namespace ulmar
