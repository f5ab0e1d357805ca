#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TCorvexTraceItem;

// Which trace entries a view shows: an identifier or a range of them, and a
// direction.
struct TTraceFilter {
    enum class TDirection { Both, Incoming, Outgoing };

    std::optional<std::uint32_t> FirstId; // none: every identifier
    std::uint32_t LastId = 0;
    TDirection Direction = TDirection::Both;

    bool IsActive() const { return FirstId.has_value() || Direction != TDirection::Both; }
    bool Matches(const TCorvexTraceItem& item) const;
    bool operator==(const TTraceFilter&) const = default;
};

// Reads "7FF" or "100-1FF" (hexadecimal; blank for every identifier) into the
// filter's identifiers; false when the text is neither.
bool ParseIdRange(const std::string& text, TTraceFilter& filter);

// What Find looks for: an identifier, or a run of data bytes anywhere in a
// frame's data.
struct TTraceQuery {
    std::optional<std::uint32_t> Id;
    std::vector<std::uint8_t> Bytes;

    bool Matches(const TCorvexTraceItem& item) const;
};

// "7FF" for an identifier; "01 A2 FF" (or "01A2FF") for data bytes when
// `bytes` is set. False when the text is empty or not hexadecimal.
bool ParseQuery(const std::string& text, bool bytes, TTraceQuery& query);
