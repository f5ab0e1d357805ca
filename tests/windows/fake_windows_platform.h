// A system without USB: interface lists, registry values and driver answers
// set by the test, and every request recorded.
#pragma once

#include "transport/windows/device_classes.h"
#include "transport/windows/windows_platform.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace ulmar::test {

struct FakeInterfaceClass {
    bool listFails = false;
    bool detailFails = false;
    int lookupsLeft = -1; // after this many found interfaces the list fails; -1: never
    std::vector<std::string> paths;
};

class FakeWindowsPlatform final : public WindowsPlatform {
public:
    FakeInterfaceClass classA;
    FakeInterfaceClass classB;
    std::map<std::string, std::string> registry; // key -> "DeviceInstance"
    std::vector<std::string> keysRead;

    bool controlSucceeds = true;
    DWORD controlError = ERROR_GEN_FAILURE;
    std::vector<std::uint8_t> controlReply;
    DWORD lastControlCode = 0;
    std::vector<std::uint8_t> lastControlInput;
    HANDLE lastControlDevice = nullptr;

    // Confirms `path` as the adapter under the given class.
    void confirm(const GUID& interfaceClass, const std::string& path,
                 const std::string& instance = "USB\\VID_04D8&PID_0053\\5&2C3D4E5F&0&1") {
        registry[DeviceClassKey(interfaceClass, RegistryFormOfPath(path))] = instance;
    }

    InterfaceQuery queryInterfacePath(const GUID& interfaceClass, std::uint32_t index,
                                      std::string& path) override {
        FakeInterfaceClass& c = IsEqualGUID(interfaceClass, kInterfaceClassA) ? classA : classB;
        if (c.listFails || c.lookupsLeft == 0)
            return InterfaceQuery::ListFailed;
        if (index >= c.paths.size())
            return InterfaceQuery::NoInterface;
        if (c.detailFails)
            return InterfaceQuery::DetailFailed;
        path = c.paths[index];
        if (c.lookupsLeft > 0)
            --c.lookupsLeft;
        return InterfaceQuery::Found;
    }

    bool readDeviceInstance(const std::string& key, std::string& value) override {
        keysRead.push_back(key);
        const auto found = registry.find(key);
        if (found == registry.end())
            return false;
        value = found->second;
        return true;
    }

    bool deviceControl(HANDLE device, DWORD code, const void* input, DWORD inputSize, void* output,
                       DWORD outputSize, DWORD& returned) override {
        lastControlDevice = device;
        lastControlCode = code;
        const auto* bytes = static_cast<const std::uint8_t*>(input);
        lastControlInput.assign(bytes, bytes + inputSize);
        returned = 0;
        if (!controlSucceeds) {
            ::SetLastError(controlError);
            return false;
        }
        returned = static_cast<DWORD>(std::min<std::size_t>(outputSize, controlReply.size()));
        std::memcpy(output, controlReply.data(), returned);
        return true;
    }
};

} // namespace ulmar::test
