#pragma once

#include <array>
#include <cstdint>
#include <string>

class TCanFrame;

// How a trace line shows its time: the host tick in milliseconds (the
// standard line), the wall-clock time of day, seconds since the trace began,
// or seconds since the line before; the last three to 0.1 ms.
enum class TTraceTimeFormat { Tick, Clock, SinceStart, Delta };

// One trace entry: a copy of a frame taken when it was added, never changed
// afterwards. Packed to 32 bytes (fields ordered by size) and trivially
// copyable, so the trace list can keep entries in raw chunks.
class TCorvexTraceItem {
public:
    TCorvexTraceItem() = default;
    TCorvexTraceItem(const TCanFrame& frame, bool outgoing);

    // "IN  ts: 5  id: 7FF  l: 2  data: 01 02 " or "OUT ts: 42  id: 001ABCDE  l: 0  Request";
    // no line terminator.
    std::string GetText() const;
    // The same line with the time shown as `format` says: " t: 13:02:03.1234"
    // (local time), " t: 12.3456" (seconds since `referenceUs`, the trace's
    // start) or " t: +0.0012" (since `referenceUs`, the line before) in place
    // of " ts: <tick>".
    std::string GetText(TTraceTimeFormat format, std::int64_t referenceUs) const;

    std::int64_t TimeUs; // wall-clock microseconds, see TCanFrame
    std::uint32_t Id;
    std::uint32_t TimeStamp; // host tick milliseconds
    std::int32_t Len;        // as the frame carried it, not clamped
    std::array<std::uint8_t, 8> Data;
    bool IsRemote;
    bool IsStandard;
    bool IsOutgoing;
};

static_assert(sizeof(TCorvexTraceItem) <= 32, "trace entries must stay small");
