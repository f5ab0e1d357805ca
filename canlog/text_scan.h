#pragma once

// Small scanners for log text: whitespace tokens, numbers, time stamps. They
// look only inside the view they are given.

#include <cstdint>
#include <string_view>
#include <vector>

namespace canlog {

// The whitespace-separated tokens of a line, at most `limit`; the last token
// holds the rest of the line when there are more.
std::vector<std::string_view> splitTokens(std::string_view line, std::size_t limit = 64);

// Unsigned number in base 16 or 10 with 1..maxDigits digits and nothing else.
bool parseHex(std::string_view text, std::uint32_t& value, std::size_t maxDigits = 8);
bool parseDecimal(std::string_view text, std::uint32_t& value, std::size_t maxDigits = 9);

// "1700000000.123456" (digits, an optional point and fraction digits) as
// microseconds; fraction digits beyond the sixth are cut off.
bool parseSeconds(std::string_view text, std::int64_t& us);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace canlog
