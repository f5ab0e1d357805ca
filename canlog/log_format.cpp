#include "log_format.h"

#include <algorithm>
#include <cctype>

namespace canlog {
namespace {

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::optional<Format> formatFromName(std::string_view name) {
    const std::string lower = lowerCase(name);
    if (lower == "log" || lower == "candump")
        return Format::Candump;
    if (lower == "asc")
        return Format::Asc;
    if (lower == "csv")
        return Format::Csv;
    return std::nullopt;
}

std::optional<Format> formatFromPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    return formatFromName(std::string_view(path).substr(dot + 1));
}

std::optional<Format> formatFromFirstLine(std::string_view line) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::string lower = lowerCase(line.substr(first));
    if (startsWith(lower, "("))
        return Format::Candump;
    if (startsWith(lower, "date") || startsWith(lower, "base") || startsWith(lower, "//") ||
        startsWith(lower, "begin"))
        return Format::Asc;
    if (startsWith(lower, "time,"))
        return Format::Csv;
    return std::nullopt;
}

const char* formatName(Format format) {
    switch (format) {
    case Format::Candump:
        return "log";
    case Format::Asc:
        return "asc";
    case Format::Csv:
        return "csv";
    }
    return "log";
}

} // namespace canlog
