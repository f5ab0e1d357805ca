#pragma once

// Feeds a recorder from the channels' trace lists: each call hands over the
// entries added since the previous one. The window calls Feed on its update
// timer and before it clears a trace, so no entry escapes the recording.
// Reader thread of the trace lists only.

#include <cstdint>
#include <vector>

class TCorvexTraceList;
class TTraceRecorder;

class TTraceRecordingFeed {
public:
    // Records what the lists get from now on.
    TTraceRecordingFeed(TTraceRecorder& recorder, const std::vector<TCorvexTraceList*>& lists);

    void Feed();
    // The list was cleared: its next entry is its new index 0.
    void Cleared(const TCorvexTraceList* list);

private:
    struct TSource {
        TCorvexTraceList* List;
        int Position;
    };
    TTraceRecorder& FRecorder;
    std::vector<TSource> FSources; // index = channel
};
