#pragma once

#include <array>
#include <cstdint>
#include <string>

class TCanFrame;

// One trace entry: a copy of a frame taken when it was added, never changed
// afterwards. Packed to 24 bytes (fields ordered by size) and trivially
// copyable, so the trace list can keep entries in raw chunks.
class TCorvexTraceItem {
public:
    TCorvexTraceItem() = default;
    TCorvexTraceItem(const TCanFrame& frame, bool outgoing);

    // "IN  ts: 5  id: 7FF  l: 2  data: 01 02 " or "OUT ts: 42  id: 001ABCDE  l: 0  Request";
    // no line terminator.
    std::string GetText() const;

    std::uint32_t Id;
    std::uint32_t TimeStamp; // host tick milliseconds
    std::int32_t Len;        // as the frame carried it, not clamped
    std::array<std::uint8_t, 8> Data;
    bool IsRemote;
    bool IsStandard;
    bool IsOutgoing;
};

static_assert(sizeof(TCorvexTraceItem) == 24, "trace entries must stay small");
