#pragma once

#include <array>
#include <cstdint>
#include <string>

class TCanFrame;

// One row of the frame table: the latest frame of one identifier, format and
// type, with a counter and the smoothed period. A plain value type, so a
// row can be copied out as a snapshot (TCorvexTable::ReadItem).
class TCorvexTableItem {
public:
    TCorvexTableItem(std::uint32_t id, bool isStandard, bool isRemote);

    // Sort and lookup key: (Id << 2) | 1 for data | 2 for extended.
    static std::uint32_t MakeKey(std::uint32_t id, bool isStandard, bool isRemote);

    void Update(const TCanFrame& frame);
    // Texts of data columns 0..3: DLC, data bytes (or "Request"), count, period;
    // empty for any other column.
    std::string GetColumnText(int column) const;
    // The identifier as shown: upper-case hex, at least 3 digits standard, 8 extended.
    std::string GetIdText() const;
    // Bit i set when data byte i changed within `windowMs` before nowMs (host ticks).
    std::uint8_t ChangedBytes(std::uint32_t nowMs, std::uint32_t windowMs) const;
    // "period 10.0 ms  min 9.9 ms  max 10.1 ms  jitter 0.04 ms" from the
    // frames' 0.1 ms times, or empty before two frames.
    std::string GetPeriodSpreadText() const;
    // Key that a view row stores to know which table row it shows:
    // Id | 80000000 hex when extended | 40000000 hex when remote.
    std::uint32_t GetRowKey() const;

    std::uint32_t Key;
    std::uint32_t Id;
    bool IsRemote;
    std::int32_t Count = 0;
    std::int32_t Period = 0; // ms, never negative
    std::int32_t Len = 0;    // latest frame's length, limited to 8
    std::array<std::uint8_t, 8> Data{};
    std::uint32_t LastTimeStamp = 0;
    // The period again from the frames' wall-clock times (TimeUs), which keep
    // the adapter's 0.1 ms stamps: the smoothed period and the running mean
    // of the intervals' distance from it, in 1/16 of 0.1 ms, and the
    // shortest and longest interval seen, in 0.1 ms.
    std::int64_t LastTimeUs = 0;
    std::uint32_t PeriodSixteenths = 0;
    std::uint32_t JitterSixteenths = 0;
    std::uint32_t PeriodMin = 0;
    std::uint32_t PeriodMax = 0;
    // Host tick at which each data byte last changed; a byte that a frame
    // brings for the first time counts as changed.
    std::array<std::uint32_t, 8> ByteChangedAt{};
    bool IsStandard;

private:
    void UpdateSpread(std::int64_t timeUs);
};
