#pragma once

// Feeds a recorder from the channels' trace lists: each call hands over the
// entries added since the previous one, as many as the recorder's queue has
// room for; the rest wait in the trace list, which keeps them (past its
// memory limit too, see Pending), for the next
// call. So a writer that falls behind for a while loses nothing. The window
// calls Feed on its update timer, and FeedAll before it clears a trace or
// stops the recording: what does not fit then is dropped and counted.
// Reader thread of the trace lists only.

#include <cstddef>
#include <cstdint>
#include <vector>

class TCorvexTraceList;
class TTraceRecorder;

class TTraceRecordingFeed {
public:
    // Records what the lists get from now on.
    TTraceRecordingFeed(TTraceRecorder& recorder, const std::vector<TCorvexTraceList*>& lists);

    void Feed();
    void FeedAll();
    // The list was cleared: its next entry is its new index 0.
    void Cleared(const TCorvexTraceList* list);
    // The list's first entry not yet handed over: the list must keep it and
    // every later one, whatever its memory limit.
    int Pending(const TCorvexTraceList* list) const;

private:
    void Feed(std::size_t limit);

    struct TSource {
        TCorvexTraceList* List;
        int Position;
    };
    TTraceRecorder& FRecorder;
    std::vector<TSource> FSources; // index = channel
};
