#pragma once

// Reading whole logs. A malformed line is skipped and counted, never fatal;
// the first few reasons are kept with their line numbers for the user.

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "log_format.h"
#include "log_frame.h"

namespace canlog {

// Longer lines are malformed (and read no further than this into memory).
inline constexpr std::size_t kMaxLineLength = 4096;
// How many problems a LogContents keeps word for word.
inline constexpr std::size_t kMaxProblems = 20;

struct LogContents {
    Format format = Format::Candump;
    std::vector<LogFrame> frames; // in file order
    std::size_t malformedLines = 0;
    std::vector<std::string> problems; // "line 12: bad identifier 'XYZ'", the first kMaxProblems

    // "3 malformed lines skipped; line 12: bad identifier 'XYZ'", or empty.
    std::string summary() const;
};

// Reads `in` to its end as `format`.
LogContents readLog(std::istream& in, Format format);

// Reads a file in `format`, or else by its extension, or else by its first
// line. Nothing, and a message, when the file cannot be opened or its format
// cannot be told.
std::optional<LogContents> readLogFile(const std::string& path, std::optional<Format> format,
                                       std::string& error);

} // namespace canlog
