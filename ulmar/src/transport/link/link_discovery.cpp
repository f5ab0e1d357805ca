#include "transport/link/link_discovery.h"

#include "transport/link/link_directory.h"
#include "transport/link/link_socket.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>
#include <system_error>

namespace ulmar::link {
namespace {

constexpr std::uint32_t kProbeTimeoutMs = 1000;

std::string_view nextToken(std::string_view& rest) {
    const auto begin = rest.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(begin);
    const auto end = std::min(rest.find_first_of(" \t\r"), rest.size());
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

std::optional<std::uint16_t> readAnnouncedPort(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    return parseAdapterLine(line);
}

} // namespace

std::optional<std::uint16_t> parseAdapterLine(std::string_view line) {
    const std::string_view protocol = nextToken(line);
    const std::string_view host = nextToken(line);
    const std::string_view portText = nextToken(line);
    if (protocol != "tcp" || host != "127.0.0.1" || !nextToken(line).empty())
        return std::nullopt;
    unsigned port = 0;
    const auto [end, error] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port == 0 ||
        port > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

bool listAdapterFiles(const std::filesystem::path& directory, std::vector<AdapterFile>& found) {
    found.clear();
    std::error_code error;
    if (!std::filesystem::exists(directory, error))
        return true;
    std::filesystem::directory_iterator it(directory, error);
    if (error)
        return false;
    for (const auto& entry : it) {
        if (entry.path().extension() != ".adapter" || !entry.is_regular_file(error))
            continue;
        if (const auto port = readAnnouncedPort(entry.path()))
            found.push_back({entry.path(), *port});
    }
    std::sort(found.begin(), found.end(), [](const AdapterFile& a, const AdapterFile& b) {
        return a.path.filename().string() < b.path.filename().string();
    });
    return true;
}

bool listReachableAdapters(std::vector<AdapterFile>& found) {
    found.clear();
    const std::filesystem::path directory = adapterDirectory();
    // Announcements in a directory others can write to may name anyone's port.
    if (!isPrivateDirectory(directory) || !listAdapterFiles(directory, found))
        return false;
    std::erase_if(found, [](const AdapterFile& adapter) {
        const SocketHandle probe = connectLoopback(adapter.port, kProbeTimeoutMs);
        closeSocket(probe);
        return probe == kNoSocket;
    });
    return true;
}

} // namespace ulmar::link
