// The library's application object: created when Ulmar.dll is loaded, it
// binds WinUSB and owns the Windows USB backend for the life of the process.
#pragma once

#include "transport/windows/windows_usb_backend.h"

namespace ulmar {

class CVCI_CANApp {
public:
    CVCI_CANApp();
    CVCI_CANApp(const CVCI_CANApp&) = delete;
    CVCI_CANApp& operator=(const CVCI_CANApp&) = delete;

    WindowsUsbBackend& backend() { return backend_; }

    // The one instance; constructed at load.
    static CVCI_CANApp& instance();

private:
    WindowsUsbBackend backend_;
};

} // namespace ulmar
