#include "transport/windows/winusb_functions.h"

namespace ulmar {

namespace {

template <typename Function> void lookUp(HMODULE module, const char* name, Function& target) {
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

} // namespace

bool HasRequiredFunctions(const WinUsbFunctions& f) {
    return f.WinUsb_Initialize && f.WinUsb_ReadPipe && f.WinUsb_WritePipe && f.WinUsb_AbortPipe &&
           f.WinUsb_Free && f.WinUsb_GetDescriptor;
}

WinUsbFunctions LookUpWinUsbFunctions(HMODULE module) {
    WinUsbFunctions f;
    lookUp(module, "WinUsb_Initialize", f.WinUsb_Initialize);
    lookUp(module, "WinUsb_ReadPipe", f.WinUsb_ReadPipe);
    lookUp(module, "WinUsb_WritePipe", f.WinUsb_WritePipe);
    lookUp(module, "WinUsb_AbortPipe", f.WinUsb_AbortPipe);
    lookUp(module, "WinUsb_Free", f.WinUsb_Free);
    lookUp(module, "WinUsb_SetPowerPolicy", f.WinUsb_SetPowerPolicy);
    lookUp(module, "WinUsb_GetDescriptor", f.WinUsb_GetDescriptor);
    return f;
}

} // namespace ulmar
