// The real system behind WindowsPlatform: SetupAPI, the registry and
// DeviceIoControl.
#include "transport/windows/windows_platform.h"

#include <setupapi.h>

#include <cstdlib>
#include <vector>

namespace ulmar {

namespace {

// Waits this long for the driver to answer one device I/O control request.
constexpr DWORD kDeviceControlTimeoutMs = 1000;

class InterfaceList {
public:
    explicit InterfaceList(const GUID& interfaceClass)
        : set_(::SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~InterfaceList() {
        if (valid())
            ::SetupDiDestroyDeviceInfoList(set_);
    }
    InterfaceList(const InterfaceList&) = delete;
    InterfaceList& operator=(const InterfaceList&) = delete;

    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

class SystemPlatform final : public WindowsPlatform {
public:
    InterfaceQuery queryInterfacePath(const GUID& interfaceClass, std::uint32_t index,
                                      std::string& path) override {
        InterfaceList list(interfaceClass);
        if (!list.valid())
            return InterfaceQuery::ListFailed;
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(list.get(), nullptr, &interfaceClass, index, &data))
            return InterfaceQuery::NoInterface;
        DWORD required = 0;
        ::SetupDiGetDeviceInterfaceDetailA(list.get(), &data, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
            return InterfaceQuery::DetailFailed;
        std::vector<std::uint8_t> record(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
        // The header size of the detail record: 5 in 32-bit processes, more in
        // 64-bit ones, where a fixed 5 would make the call fail.
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!::SetupDiGetDeviceInterfaceDetailA(list.get(), &data, detail, required, nullptr,
                                                nullptr))
            return InterfaceQuery::DetailFailed;
        path = detail->DevicePath;
        return InterfaceQuery::Found;
    }

    bool readDeviceInstance(const std::string& key, std::string& value) override {
        HKEY handle = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) !=
            ERROR_SUCCESS)
            return false;
        char text[256] = {};
        DWORD size = 255; // leaves room for a terminator the stored value may lack
        const LONG read = ::RegQueryValueExA(handle, "DeviceInstance", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(text), &size);
        ::RegCloseKey(handle);
        if (read != ERROR_SUCCESS)
            return false;
        value = text;
        return true;
    }

    // The control pipe file is opened for overlapped I/O, so the request
    // goes with an overlapped record of its own and is waited for here.
    bool deviceControl(HANDLE device, DWORD code, const void* input, DWORD inputSize, void* output,
                       DWORD outputSize, DWORD& returned) override {
        returned = 0;
        const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr)
            return false;
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        BOOL ok = ::DeviceIoControl(device, code, const_cast<void*>(input), inputSize, output,
                                    outputSize, &returned, &overlapped);
        if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
            if (::WaitForSingleObject(event, kDeviceControlTimeoutMs) != WAIT_OBJECT_0)
                ::CancelIoEx(device, &overlapped);
            ok = ::GetOverlappedResult(device, &overlapped, &returned, TRUE);
        }
        const DWORD error = ::GetLastError();
        ::CloseHandle(event);
        ::SetLastError(error);
        return ok != FALSE;
    }
};

} // namespace

WindowsPlatform& systemPlatform() {
    static SystemPlatform platform;
    return platform;
}

} // namespace ulmar
