#pragma once

// Parsing numbers from the command line: the whole text, in range, or false.

#include <cstdint>
#include <string_view>

namespace ulmar_tools {

bool parseCount(std::string_view text, std::uint64_t max, std::uint64_t& value);
// Seconds with an optional fraction ("2", "0.5"), above 0.
bool parsePositiveSeconds(std::string_view text, double& seconds);

} // namespace ulmar_tools
