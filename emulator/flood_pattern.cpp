#include "flood_pattern.h"

#include <charconv>
#include <random>
#include <unordered_set>

namespace emu {
namespace {

constexpr std::uint32_t kStandardIds = 0x800;
constexpr std::uint32_t kExtendedMask = 0x1FFFFFFF;
constexpr std::uint32_t kMaxRandomIds = 1'000'000;

bool parseNumber(const std::string& text, std::uint32_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::uint32_t readLe32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

} // namespace

std::optional<FloodPattern> parseFloodIds(const std::string& text, unsigned length) {
    FloodPattern pattern;
    pattern.length = length;
    if (text == "fixed")
        return pattern;
    if (text == "count") {
        pattern.ids = FloodPattern::Ids::Count;
        return pattern;
    }
    const std::string prefix = "random:";
    if (text.rfind(prefix, 0) != 0)
        return std::nullopt;
    const std::string rest = text.substr(prefix.size());
    const auto colon = rest.find(':');
    pattern.ids = FloodPattern::Ids::Random;
    if (!parseNumber(rest.substr(0, colon), pattern.randomCount) || pattern.randomCount == 0 ||
        pattern.randomCount > kMaxRandomIds)
        return std::nullopt;
    if (colon != std::string::npos && !parseNumber(rest.substr(colon + 1), pattern.seed))
        return std::nullopt;
    return pattern;
}

std::string floodIdsOption(const FloodPattern& pattern) {
    switch (pattern.ids) {
    case FloodPattern::Ids::Fixed:
        return "fixed";
    case FloodPattern::Ids::Count:
        return "count";
    case FloodPattern::Ids::Random:
        return "random:" + std::to_string(pattern.randomCount) + ":" + std::to_string(pattern.seed);
    }
    return {};
}

std::string describeFloodIds(const FloodPattern& pattern) {
    switch (pattern.ids) {
    case FloodPattern::Ids::Fixed:
        return "identifier 0x7FF";
    case FloodPattern::Ids::Count:
        return "identifiers counting 0x000-0x7FF";
    case FloodPattern::Ids::Random:
        return std::to_string(pattern.randomCount) + " random extended identifiers (seed " +
               std::to_string(pattern.seed) + ")";
    }
    return {};
}

FloodIdCycle::FloodIdCycle(const FloodPattern& pattern) : pattern_(pattern) {
    if (pattern.ids != FloodPattern::Ids::Random)
        return;
    // The engine's output is fixed by the C++ standard, so every platform
    // draws the same identifiers from a seed.
    std::mt19937 engine(pattern.seed);
    random_.reserve(pattern.randomCount);
    position_.reserve(pattern.randomCount);
    while (random_.size() < pattern.randomCount) {
        const std::uint32_t id = static_cast<std::uint32_t>(engine()) & kExtendedMask;
        if (position_.emplace(id, static_cast<std::uint32_t>(random_.size())).second)
            random_.push_back(id);
    }
}

std::uint32_t FloodIdCycle::size() const {
    switch (pattern_.ids) {
    case FloodPattern::Ids::Fixed:
        return 1;
    case FloodPattern::Ids::Count:
        return kStandardIds;
    case FloodPattern::Ids::Random:
        return static_cast<std::uint32_t>(random_.size());
    }
    return 1;
}

std::uint32_t FloodIdCycle::idOf(std::uint64_t n) const {
    switch (pattern_.ids) {
    case FloodPattern::Ids::Fixed:
        return kFloodId;
    case FloodPattern::Ids::Count:
        return static_cast<std::uint32_t>(n % kStandardIds);
    case FloodPattern::Ids::Random:
        return random_[n % random_.size()];
    }
    return kFloodId;
}

std::optional<std::uint32_t> FloodIdCycle::positionOf(std::uint32_t id, bool isExtended) const {
    if (isExtended != extended())
        return std::nullopt;
    switch (pattern_.ids) {
    case FloodPattern::Ids::Fixed:
        return id == kFloodId ? std::optional<std::uint32_t>(0) : std::nullopt;
    case FloodPattern::Ids::Count:
        return id < kStandardIds ? std::optional<std::uint32_t>(id) : std::nullopt;
    case FloodPattern::Ids::Random:
        if (const auto it = position_.find(id); it != position_.end())
            return it->second;
        return std::nullopt;
    }
    return std::nullopt;
}

void FloodChecker::add(std::uint32_t id, bool extended, bool remote, std::uint8_t length,
                       const std::uint8_t* data) {
    const auto position = cycle_.positionOf(id, extended);
    if (remote || !position)
        return;
    ++frames_;
    bool intact = length == length_;
    if (length >= 4) {
        const std::uint32_t sequence = readLe32(data);
        intact = intact && cycle_.idOf(sequence) == id;
        for (std::uint8_t i = 4; i < length; ++i)
            intact = intact && data[i] == static_cast<std::uint8_t>(~sequence >> (8 * (i - 4)));
    }
    if (!intact)
        ++damaged_;
    const std::uint64_t frames = step(*position, length, data);
    if (frames == 0)
        ++outOfOrder_;
    else
        lost_ += frames - 1;
}

std::uint64_t FloodChecker::step(std::uint32_t position, std::uint8_t length,
                                 const std::uint8_t* data) {
    const bool first = first_;
    first_ = false;
    const std::uint32_t previousPosition = previousPosition_;
    const std::uint32_t previousSequence = previousSequence_;
    previousPosition_ = position;
    std::uint64_t frames = 1;
    if (length >= 4) {
        const std::uint32_t gap = readLe32(data) - previousSequence;
        if (!first)
            frames = gap > 0x80000000u ? 0 : gap;
    } else if (!first && cycle_.size() > 1) {
        // Without a sequence number the identifier's place in its cycle
        // counts; a fixed identifier shows no gaps at all.
        frames = (position + cycle_.size() - previousPosition) % cycle_.size();
    }
    previousSequence_ =
        length >= 4 ? readLe32(data) : previousSequence + static_cast<std::uint32_t>(frames);
    return frames;
}

} // namespace emu
