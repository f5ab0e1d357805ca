#ifdef _WIN32

#include "com_port_list.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cstring>

namespace {

// Device setup class "Ports" (COM and LPT ports).
const GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// "PortName" is read into 16 bytes, terminator included, so names of up to
// 15 characters fit; a longer one fails the read and is skipped.
constexpr DWORD kPortNameBytes = 16;

std::optional<std::string> ReadFriendlyName(HDEVINFO set, SP_DEVINFO_DATA& data,
                                            std::uint32_t& error) {
    DWORD size = 0;
    SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_FRIENDLYNAME, nullptr, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (size == 0 ||
        !SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<PBYTE>(buffer.data()), size, nullptr)) {
        error = GetLastError();
        return std::nullopt;
    }
    buffer.resize(buffer.find('\0') == std::string::npos ? size : buffer.find('\0'));
    return buffer;
}

std::optional<std::string> ReadPortName(HDEVINFO set, SP_DEVINFO_DATA& data) {
    HKEY key = SetupDiOpenDevRegKey(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return std::nullopt;
    char name[kPortNameBytes] = {};
    DWORD bytes = sizeof(name);
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    // The stored string need not carry its terminator.
    return std::string(name, strnlen(name, std::min<DWORD>(bytes, sizeof(name))));
}

class TSetupApiComPortEnumerator : public TComPortEnumerator {
public:
    std::vector<TComPortDevice> Enumerate() override {
        std::vector<TComPortDevice> devices;
        HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
        if (set == INVALID_HANDLE_VALUE)
            return devices;
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof(data);
        for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
            TComPortDevice device;
            device.FriendlyName = ReadFriendlyName(set, data, device.FriendlyNameError);
            if (device.FriendlyName)
                device.PortName = ReadPortName(set, data);
            devices.push_back(std::move(device));
        }
        SetupDiDestroyDeviceInfoList(set);
        return devices;
    }

    std::string PortPrefix() const override { return "COM"; }
};

} // namespace

std::unique_ptr<TComPortEnumerator> MakeSystemComPortEnumerator() {
    return std::make_unique<TSetupApiComPortEnumerator>();
}

#endif
