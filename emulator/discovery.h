#pragma once

// How hosts find a running virtual adapter: a file "<name>.adapter" in the
// discovery directory whose first line is "tcp 127.0.0.1 <port>".

#include <cstdint>
#include <string>

namespace emu {

// ULMAR_DEVICE_DIR if set, else $XDG_RUNTIME_DIR/ulmar, else /tmp/ulmar-<uid>.
std::string discoveryDirectory();

// True for names usable as a file name: 1-64 characters of letters, digits,
// '-', '_' and '.', not starting with '.'.
bool isValidAdapterName(const std::string& name);

// Publishes the discovery file on construction (temporary file, then rename,
// so a host never reads half a line) and removes it on destruction.
class DiscoveryFile {
public:
    DiscoveryFile() = default;
    ~DiscoveryFile();
    DiscoveryFile(const DiscoveryFile&) = delete;
    DiscoveryFile& operator=(const DiscoveryFile&) = delete;

    // Creates the directory if needed. On failure returns false and sets `error`.
    bool publish(const std::string& directory, const std::string& name, std::uint16_t port,
                 std::string& error);
    void remove();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace emu
