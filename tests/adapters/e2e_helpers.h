#pragma once

#include <cstdint>
#include <functional>

#include "views/trace_list.h"

// Counts the trace entries with the given direction that match the filter.
inline int CountEntries(const TCorvexTraceList& trace, bool outgoing,
                        const std::function<bool(const TCorvexTraceItem&)>& filter) {
    int count = 0;
    const int total = trace.Count();
    for (int i = 0; i < total; ++i) {
        const TCorvexTraceItem* item = trace.Items(i);
        if (item->IsOutgoing == outgoing && filter(*item)) {
            ++count;
        }
    }
    return count;
}

inline int CountId(const TCorvexTraceList& trace, bool outgoing, uint32_t id) {
    return CountEntries(trace, outgoing,
                        [id](const TCorvexTraceItem& item) { return item.Id == id; });
}
