// What the Windows USB backend asks of the system beyond plain file and
// event calls: device interface enumeration (SetupAPI), the registry, and the
// per-endpoint driver's device I/O control. Tests put a fake behind it, since
// no USB adapter, driver or registry entry exists where they run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace ulmar {

enum class InterfaceQuery {
    Found,        // path holds the interface's device path
    ListFailed,   // the list of present interfaces could not be built
    NoInterface,  // the class has no interface with that number
    DetailFailed, // the detail record could not be allocated or read
};

class WindowsPlatform {
public:
    virtual ~WindowsPlatform() = default;

    // Device path of interface `index` (from 0) among the present devices
    // exposing interface class `interfaceClass`.
    virtual InterfaceQuery queryInterfacePath(const GUID& interfaceClass, std::uint32_t index,
                                              std::string& path) = 0;

    // Reads the value "DeviceInstance" of key `key` under the local-machine
    // hive, at most 255 bytes. False when the key or the value is missing.
    virtual bool readDeviceInstance(const std::string& key, std::string& value) = 0;

    // One device I/O control request on `device`; false with the system's
    // last-error code set on failure.
    virtual bool deviceControl(HANDLE device, DWORD code, const void* input, DWORD inputSize,
                               void* output, DWORD outputSize, DWORD& returned) = 0;
};

// The real system. Lives for the whole process.
WindowsPlatform& systemPlatform();

} // namespace ulmar
