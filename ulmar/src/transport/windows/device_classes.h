// How the adapter shows itself to Windows: its two device interface classes
// (one per driver), the vendor/product pattern of its device instance, and
// the registry key that confirms an interface belongs to it.
#pragma once

#include <windows.h>

#include <string>

namespace ulmar {

// Class of the per-endpoint driver.
inline constexpr GUID kInterfaceClassA = {
    0x5354FA28, 0x6D14, 0x4E35, {0xA1, 0xF5, 0x75, 0xBB, 0x54, 0xE6, 0x03, 0x0F}};
// Class used with WinUSB.
inline constexpr GUID kInterfaceClassB = {
    0x58D07210, 0x27C1, 0x11DD, {0xBD, 0x0B, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66}};

inline constexpr char kVendorProductPattern[] = "vid_04d8&pid_0053";
inline constexpr char kDeviceInstanceValue[] = "DeviceInstance";

// The interface path in the form the registry uses for key names: the
// backslashes of the "\\?\" prefix (characters 0, 1 and 3) become '#'.
std::string RegistryFormOfPath(const std::string& path);

// Key under the local-machine hive that describes interface `registryPath`
// (already in registry form) of class `interfaceClass`.
std::string DeviceClassKey(const GUID& interfaceClass, const std::string& registryPath);

// True when the device instance names the adapter's vendor and product id,
// in any letter case.
bool MatchesAdapter(const std::string& deviceInstance);

// Name of endpoint n (1 to 6): "\MCHP_EP" followed by n. File suffix for the
// per-endpoint driver, pipe name for WinUSB.
std::string EndpointName(int endpoint);

} // namespace ulmar
