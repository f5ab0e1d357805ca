// Finding virtual adapters: one file "<name>.adapter" per running adapter in
// the adapter directory, whose first line is "tcp 127.0.0.1 <port>".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace ulmar::link {

struct AdapterFile {
    std::filesystem::path path;
    std::uint16_t port;
};

// The port of an announcement line, or nothing if the line is not one.
std::optional<std::uint16_t> parseAdapterLine(std::string_view line);

// The announced adapters of `directory` in file-name order; files that do
// not announce a port are left out. A missing directory lists nothing;
// false only when the directory exists but cannot be read.
bool listAdapterFiles(const std::filesystem::path& directory, std::vector<AdapterFile>& found);

// listAdapterFiles on the current adapter directory, keeping only the
// adapters whose port answers; false, listing nothing, when the directory is
// not private to this user.
bool listReachableAdapters(std::vector<AdapterFile>& found);

} // namespace ulmar::link
