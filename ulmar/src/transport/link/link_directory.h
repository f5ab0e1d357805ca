// Where running virtual adapters announce themselves.
#pragma once

#include <filesystem>

namespace ulmar::link {

// ULMAR_DEVICE_DIR when set, else the platform's default directory.
// Read afresh on every call, so a host may change it between look-ups.
std::filesystem::path adapterDirectory();

// The platform's default: $XDG_RUNTIME_DIR/ulmar or /tmp/ulmar-<uid> here,
// %LOCALAPPDATA%\Ulmar on Windows.
std::filesystem::path defaultAdapterDirectory();

} // namespace ulmar::link
