#pragma once

#include <cstdint>

#include "views/trace_list.h"

// What a channel's trace says of the emulator's flood: frames with the flood
// identifier carry a sequence number in bytes 0-3 and its complement in bytes
// 4-7, so gaps show lost frames and a wrong complement a damaged one.
struct TFloodCount {
    uint64_t Frames = 0;
    uint64_t Lost = 0;
    uint64_t Damaged = 0;
    uint64_t OutOfOrder = 0;
};

constexpr uint32_t FloodId = 0x7FF;

inline uint32_t ReadLe32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// Counts from the first flood frame in the trace; the flood began before the
// channel listened, so only gaps after that frame are losses.
inline TFloodCount CheckFlood(const TCorvexTraceList& trace) {
    TFloodCount count;
    bool first = true;
    uint32_t previous = 0;
    const int total = trace.Count();
    for (int i = 0; i < total; ++i) {
        const TCorvexTraceItem& item = *trace.Items(i);
        if (item.IsOutgoing || item.Id != FloodId || item.IsRemote || !item.IsStandard) {
            continue;
        }
        ++count.Frames;
        const uint32_t sequence = ReadLe32(item.Data.data());
        if (ReadLe32(item.Data.data() + 4) != ~sequence || item.Len != 8) {
            ++count.Damaged;
        }
        if (!first) {
            const uint32_t step = sequence - previous;
            if (step == 0 || step > 0x80000000u) {
                ++count.OutOfOrder;
            } else {
                count.Lost += step - 1;
            }
        }
        first = false;
        previous = sequence;
    }
    return count;
}
