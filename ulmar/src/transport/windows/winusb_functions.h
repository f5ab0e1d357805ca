// The WinUSB entry points, bound at run time from "winusb.dll" by name so
// that the library loads (and works through the per-endpoint driver) on a
// system without WinUSB.
#pragma once

#include <windows.h>

#include <winusb.h>

namespace ulmar {

struct WinUsbFunctions {
    decltype(&::WinUsb_Initialize) WinUsb_Initialize = nullptr;
    decltype(&::WinUsb_ReadPipe) WinUsb_ReadPipe = nullptr;
    decltype(&::WinUsb_WritePipe) WinUsb_WritePipe = nullptr;
    decltype(&::WinUsb_AbortPipe) WinUsb_AbortPipe = nullptr;
    decltype(&::WinUsb_Free) WinUsb_Free = nullptr;
    decltype(&::WinUsb_SetPowerPolicy) WinUsb_SetPowerPolicy = nullptr; // optional
    decltype(&::WinUsb_GetDescriptor) WinUsb_GetDescriptor = nullptr;
};

// True when every function but the optional WinUsb_SetPowerPolicy is there.
bool HasRequiredFunctions(const WinUsbFunctions& functions);

// Looks the seven functions up by name in a loaded WinUSB module.
WinUsbFunctions LookUpWinUsbFunctions(HMODULE module);

} // namespace ulmar
