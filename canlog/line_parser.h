#pragma once

// Reads log lines one at a time. ASC files carry state in their header (base,
// start date, relative time stamps) and candump files name channels by
// interface, so one parser reads one file from its first line on.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log_format.h"
#include "log_frame.h"

namespace canlog {

enum class LineKind {
    Frame,     // `frame` holds the line's frame
    Skipped,   // empty, a comment, a header or an event that is not a frame
    Malformed, // `error` says why
};

class LineParser {
public:
    explicit LineParser(Format format) : format_(format) {}

    // One line without its terminator.
    LineKind parse(std::string_view line, LogFrame& frame, std::string& error);

private:
    LineKind parseCandump(std::string_view line, LogFrame& frame, std::string& error);
    LineKind parseAsc(std::string_view line, LogFrame& frame, std::string& error);
    LineKind parseAscFrame(const std::vector<std::string_view>& tokens, LogFrame& frame,
                           std::string& error);
    LineKind parseCsv(std::string_view line, LogFrame& frame, std::string& error);
    bool channelOfInterface(std::string_view name, std::uint8_t& channel);

    const Format format_;
    // candump: interface names without a number, channel = place in this list.
    std::vector<std::string> unnumberedInterfaces_;
    // ASC header state.
    bool ascDecimal_ = false;
    bool ascRelative_ = false;
    bool ascStartSet_ = false;
    std::int64_t ascStartUs_ = 0;
    std::int64_t ascLastUs_ = 0;
};

} // namespace canlog
