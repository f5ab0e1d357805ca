#include "flood_options.h"

#include <charconv>

namespace bench {

bool takeFloodOption(const std::string& name, const std::string& value,
                     emu::FloodPattern& pattern) {
    if (name == "--flood-length") {
        unsigned length = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
        if (ec != std::errc() || end != value.data() + value.size() || length > 8)
            return false;
        pattern.length = length;
        return true;
    }
    if (name == "--flood-ids") {
        const auto parsed = emu::parseFloodIds(value, pattern.length);
        if (parsed)
            pattern = *parsed;
        return parsed.has_value();
    }
    return false;
}

std::vector<std::string> floodArguments(unsigned loadPercent, const emu::FloodPattern& pattern) {
    return {"--separate-buses",
            "--flood",
            std::to_string(loadPercent),
            "--flood-length",
            std::to_string(pattern.length),
            "--flood-ids",
            emu::floodIdsOption(pattern)};
}

} // namespace bench
