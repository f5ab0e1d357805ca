#include "transport/windows/vci_can_app.h"

namespace ulmar {

namespace {

// Binds "winusb.dll" by name. Without it (or without a required function) the
// backend works through the per-endpoint driver files only; loading Ulmar
// still succeeds. WinUSB stays loaded for the life of the process.
WinUsbFunctions BindWinUsb() {
    const HMODULE module = ::LoadLibraryA("winusb.dll");
    if (module == nullptr)
        return {};
    return LookUpWinUsbFunctions(module);
}

// Forces construction while the library loads rather than on first use.
[[maybe_unused]] CVCI_CANApp& gLoadedApp = CVCI_CANApp::instance();

} // namespace

CVCI_CANApp::CVCI_CANApp() : backend_(systemPlatform(), BindWinUsb()) {}

CVCI_CANApp& CVCI_CANApp::instance() {
    static CVCI_CANApp app;
    return app;
}

PipeBackend& usbBackend() {
    return CVCI_CANApp::instance().backend();
}

} // namespace ulmar
