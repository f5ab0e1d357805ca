#include "text_scan.h"

#include <cctype>

namespace canlog {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int digitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

bool parseBase(std::string_view text, unsigned base, std::size_t maxDigits, std::uint32_t& value) {
    if (text.empty() || text.size() > maxDigits)
        return false;
    std::uint64_t result = 0;
    for (char c : text) {
        const int digit = digitValue(c, base);
        if (digit < 0)
            return false;
        result = result * base + static_cast<unsigned>(digit);
        if (result > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

} // namespace

std::vector<std::string_view> splitTokens(std::string_view line, std::size_t limit) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSpace(line[i]))
            ++i;
        if (i == line.size())
            break;
        if (tokens.size() + 1 == limit) {
            std::size_t end = line.size();
            while (end > i && isSpace(line[end - 1]))
                --end;
            tokens.push_back(line.substr(i, end - i));
            break;
        }
        const std::size_t start = i;
        while (i < line.size() && !isSpace(line[i]))
            ++i;
        tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

bool parseHex(std::string_view text, std::uint32_t& value, std::size_t maxDigits) {
    return parseBase(text, 16, maxDigits, value);
}

bool parseDecimal(std::string_view text, std::uint32_t& value, std::size_t maxDigits) {
    return parseBase(text, 10, maxDigits, value);
}

bool parseSeconds(std::string_view text, std::int64_t& us) {
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    // 12 digits of seconds are more than 30000 years: no overflow below.
    if (whole.empty() || whole.size() > 12)
        return false;
    std::int64_t seconds = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return false;
        seconds = seconds * 10 + (c - '0');
    }
    std::int64_t micro = 0;
    for (std::size_t i = 0; i < fraction.size(); ++i) {
        const char c = fraction[i];
        if (c < '0' || c > '9')
            return false;
        if (i < 6)
            micro = micro * 10 + (c - '0');
    }
    for (std::size_t i = fraction.size(); i < 6; ++i)
        micro *= 10;
    us = seconds * 1'000'000 + micro;
    return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace canlog
