// What a channel's trace holds of the emulator's flood.
#pragma once

#include "flood_pattern.h"
#include "views/trace_list.h"

namespace bench {

inline emu::FloodChecker checkFloodTrace(const TCorvexTraceList& trace,
                                         const emu::FloodPattern& pattern) {
    emu::FloodChecker checker(pattern);
    const int total = trace.Count();
    for (int i = 0; i < total; ++i) {
        const TCorvexTraceItem& item = *trace.Items(i);
        if (!item.IsOutgoing)
            checker.add(item.Id, !item.IsStandard, item.IsRemote, item.Len, item.Data.data());
    }
    return checker;
}

} // namespace bench
