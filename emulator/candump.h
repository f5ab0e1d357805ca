#pragma once

// Reading CAN logs in the candump log format:
//   (1436509052.249713) can0 123#DEADBEEF
//   (1436509052.250001) can1 18FEF100#0102030405060708   (8 hex digits: extended)
//   (1436509052.251000) can0 123#R                       (remote frame; "#R4" gives length 4)

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "can_frame.h"

namespace emu {

struct CandumpRecord {
    double time = 0; // seconds
    std::string interface;
    CanFrame frame;
};

// One line; nothing (and a reason in `error`) when it is not a classic CAN frame record.
std::optional<CandumpRecord> parseCandumpLine(const std::string& line, std::string& error);

// A whole log. Empty lines and lines starting with '#' are skipped; any other
// line that does not parse fails the whole load with its line number in `error`.
std::optional<std::vector<CandumpRecord>> parseCandumpLog(std::istream& in, std::string& error);

} // namespace emu
