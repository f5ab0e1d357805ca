#include "number_args.h"

#include <charconv>

namespace ulmar_tools {

bool parseCount(std::string_view text, std::uint64_t max, std::uint64_t& value) {
    std::uint64_t parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool parsePositiveSeconds(std::string_view text, double& seconds) {
    double parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !(parsed > 0) ||
        parsed > 1e9)
        return false;
    seconds = parsed;
    return true;
}

} // namespace ulmar_tools
