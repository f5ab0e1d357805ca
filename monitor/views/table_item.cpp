#include "views/table_item.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "model/can_frame.h"
#include "views/hex_text.h"

TCorvexTableItem::TCorvexTableItem(std::uint32_t id, bool isStandard, bool isRemote)
    : Key(MakeKey(id, isStandard, isRemote)), Id(id), IsRemote(isRemote), IsStandard(isStandard) {}

std::uint32_t TCorvexTableItem::MakeKey(std::uint32_t id, bool isStandard, bool isRemote) {
    return (id << 2) | (isRemote ? 0u : 1u) | (isStandard ? 0u : 2u);
}

void TCorvexTableItem::Update(const TCanFrame& frame) {
    if (Count <
        std::numeric_limits<std::int32_t>::max()) // a counter that stops beats one that wraps
        ++Count;
    const auto length = static_cast<std::int32_t>(std::min<std::uint32_t>(frame.Len, 8));
    for (std::int32_t i = 0; i < length; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (Count == 1 || i >= Len || Data[at] != frame.Data[at])
            ByteChangedAt[at] = frame.TimeStamp;
    }
    Len = length;
    std::copy_n(frame.Data.begin(), Len, Data.begin());
    if (Count >= 2) {
        // Unsigned arithmetic: a wrapped tick counter still gives the right
        // interval, and the running average moves 1/8 towards each interval.
        const std::uint32_t interval = frame.TimeStamp - LastTimeStamp;
        const auto period = static_cast<std::uint32_t>(Period);
        const std::uint32_t smoothed =
            Count == 2 ? interval : (interval >> 3) + period - (period >> 3);
        Period = std::max(static_cast<std::int32_t>(smoothed), 0);
        UpdateSpread(frame.TimeUs);
    }
    LastTimeStamp = frame.TimeStamp;
    LastTimeUs = frame.TimeUs;
}

void TCorvexTableItem::UpdateSpread(std::int64_t timeUs) {
    // A host clock set back gives a zero interval, not a huge one.
    constexpr std::int64_t kUnitUs = 100;
    const auto interval = static_cast<std::uint32_t>(std::clamp<std::int64_t>(
        (timeUs - LastTimeUs) / kUnitUs, 0, std::numeric_limits<std::uint32_t>::max() / 16));
    // In sixteenths the 1/8 steps lose nothing that shows: the smoothed
    // value settles on a steady interval exactly.
    const std::uint32_t scaled = interval * 16;
    PeriodSixteenths =
        Count == 2 ? scaled : PeriodSixteenths - (PeriodSixteenths >> 3) + (scaled >> 3);
    PeriodMin = Count == 2 ? interval : std::min(PeriodMin, interval);
    PeriodMax = Count == 2 ? interval : std::max(PeriodMax, interval);
    const std::uint32_t distance =
        scaled > PeriodSixteenths ? scaled - PeriodSixteenths : PeriodSixteenths - scaled;
    // Moves 1/8 towards each distance, like the period itself.
    JitterSixteenths =
        Count == 2 ? 0 : JitterSixteenths - (JitterSixteenths >> 3) + (distance >> 3);
}

std::uint8_t TCorvexTableItem::ChangedBytes(std::uint32_t nowMs, std::uint32_t windowMs) const {
    std::uint8_t mask = 0;
    for (std::int32_t i = 0; i < Len; ++i)
        if (nowMs - ByteChangedAt[static_cast<std::size_t>(i)] < windowMs)
            mask = static_cast<std::uint8_t>(mask | 1u << i);
    return mask;
}

std::string TCorvexTableItem::GetPeriodSpreadText() const {
    if (Count < 2)
        return {};
    char text[128];
    std::snprintf(text, sizeof text, "period %.1f ms  min %.1f ms  max %.1f ms  jitter %.2f ms",
                  PeriodSixteenths / 160.0, PeriodMin / 10.0, PeriodMax / 10.0,
                  JitterSixteenths / 160.0);
    return text;
}

std::string TCorvexTableItem::GetColumnText(int column) const {
    switch (column) {
    case 0:
        return std::to_string(Len);
    case 1: {
        if (IsRemote)
            return "Request";
        std::string text;
        for (int i = 0; i < Len; ++i) {
            if (i > 0)
                text += ' ';
            AppendByteText(text, Data[static_cast<std::size_t>(i)]);
        }
        return text;
    }
    case 2:
        return std::to_string(Count);
    case 3:
        return std::to_string(Period);
    default:
        return {};
    }
}

std::string TCorvexTableItem::GetIdText() const {
    std::string text;
    AppendIdText(text, Id, IsStandard);
    return text;
}

std::uint32_t TCorvexTableItem::GetRowKey() const {
    return Id | (IsStandard ? 0u : 0x80000000u) | (IsRemote ? 0x40000000u : 0u);
}
