#pragma once

// The log formats the library reads and writes, and how to tell them apart.

#include <optional>
#include <string>
#include <string_view>

namespace canlog {

enum class Format {
    Candump, // "(1700000000.123456) can0 123#11223344", as candump -L writes it
    Asc,     // Vector ASC, hex base, absolute time stamps
    Csv,     // header line, then one frame a line
};

// "log", "asc" or "csv" (case-insensitive).
std::optional<Format> formatFromName(std::string_view name);
// By the file name's extension: .log (and .candump), .asc, .csv.
std::optional<Format> formatFromPath(const std::string& path);
// By the first line that is not empty: '(' starts a candump line, "date",
// "base", "//" or "Begin" an ASC file, "time," a CSV file.
std::optional<Format> formatFromFirstLine(std::string_view line);
// "log", "asc" or "csv".
const char* formatName(Format format);

} // namespace canlog
