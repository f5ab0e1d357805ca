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

// False when someone else could have put announcements into `directory`: it
// is not a real directory (a symbolic link, say), another user owns it, or
// its group or others may write to it. A directory that does not exist
// announces nothing and counts as private. Always true on Windows, where the
// directory lies in the user's own profile.
bool isPrivateDirectory(const std::filesystem::path& directory);

} // namespace ulmar::link
