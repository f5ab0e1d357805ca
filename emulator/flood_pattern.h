#pragma once

// What a flood node sends, and how a receiver finds every frame it lost.
//
// Frame n of a flood (n counts from 0) carries:
//  - identifier: 0x7FF (fixed), n mod 2048 as a standard identifier (count),
//    or the (n mod N)-th of N distinct random 29-bit extended identifiers
//    drawn from a seed (random);
//  - data: bytes 0-3 n (u32 little-endian), bytes 4-7 its complement, cut
//    to the frame's length.
// With at least 4 data bytes the sequence number shows every gap; with fewer
// the count and random identifiers do (a run of lost frames as long as the
// identifier cycle goes unseen).

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace emu {

// The fixed pattern's identifier: it loses arbitration to every other
// standard frame, so host traffic still gets through.
constexpr std::uint32_t kFloodId = 0x7FF;

struct FloodPattern {
    enum class Ids { Fixed, Count, Random };
    Ids ids = Ids::Fixed;
    std::uint32_t randomCount = 0; // Random: distinct identifiers in the cycle
    std::uint32_t seed = 1;        // Random: seed of the draw
    unsigned length = 8;           // data bytes, 0-8
};

// "fixed", "count" or "random:COUNT[:SEED]" (COUNT 1-1,000,000); nothing if
// the text is none of these.
std::optional<FloodPattern> parseFloodIds(const std::string& text, unsigned length);
// The option text that parses back into the pattern's identifiers.
std::string floodIdsOption(const FloodPattern& pattern);
// For people: "identifiers counting 0x000-0x7FF" and the like.
std::string describeFloodIds(const FloodPattern& pattern);

// The identifier cycle of a pattern.
class FloodIdCycle {
public:
    explicit FloodIdCycle(const FloodPattern& pattern);

    bool extended() const { return pattern_.ids == FloodPattern::Ids::Random; }
    std::uint32_t size() const;
    // Identifier of frame n.
    std::uint32_t idOf(std::uint64_t n) const;
    // Where an identifier stands in the cycle; nothing if the flood never sends it.
    std::optional<std::uint32_t> positionOf(std::uint32_t id, bool extended) const;

private:
    FloodPattern pattern_;
    std::vector<std::uint32_t> random_;                         // Random: the cycle
    std::unordered_map<std::uint32_t, std::uint32_t> position_; // Random: id -> index
};

// Counts what a receiver got of a flood, frame by frame in arrival order.
// Frames the flood does not send (other identifiers) are not counted.
class FloodChecker {
public:
    explicit FloodChecker(const FloodPattern& pattern) : length_(pattern.length), cycle_(pattern) {}

    void add(std::uint32_t id, bool extended, bool remote, std::uint8_t length,
             const std::uint8_t* data);

    std::uint64_t frames() const { return frames_; }
    // Frames missing between the first and the last one received.
    std::uint64_t lost() const { return lost_; }
    // Wrong length or data bytes that do not match the pattern.
    std::uint64_t damaged() const { return damaged_; }
    // A frame that came again or before one already received.
    std::uint64_t outOfOrder() const { return outOfOrder_; }

private:
    // Frames between the previous flood frame and this one, 0 when it repeats
    // or goes back; from the sequence number when the frame has one, else from
    // the identifier.
    std::uint64_t step(std::uint32_t position, std::uint8_t length, const std::uint8_t* data);

    const unsigned length_; // the pattern's
    const FloodIdCycle cycle_;
    bool first_ = true;
    std::uint32_t previousSequence_ = 0;
    std::uint32_t previousPosition_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t lost_ = 0;
    std::uint64_t damaged_ = 0;
    std::uint64_t outOfOrder_ = 0;
};

} // namespace emu
