#include "recording/trace_recording_feed.h"

#include "recording/trace_log_frames.h"
#include "recording/trace_recorder.h"
#include "views/trace_list.h"

#include <cstdint>
#include <limits>

TTraceRecordingFeed::TTraceRecordingFeed(TTraceRecorder& recorder,
                                         const std::vector<TCorvexTraceList*>& lists)
    : FRecorder(recorder) {
    for (TCorvexTraceList* list : lists)
        FSources.push_back({list, list != nullptr ? list->Count() : 0});
}

void TTraceRecordingFeed::Feed() {
    Feed(FRecorder.Room());
}

void TTraceRecordingFeed::FeedAll() {
    Feed(SIZE_MAX);
}

void TTraceRecordingFeed::Feed(std::size_t limit) {
    std::vector<canlog::LogFrame> frames;
    for (std::size_t channel = 0; channel < FSources.size(); ++channel) {
        TSource& source = FSources[channel];
        if (source.List == nullptr)
            continue;
        const int count = source.List->Count();
        for (; source.Position < count && frames.size() < limit; ++source.Position) {
            if (const TCorvexTraceItem* item = source.List->Stored(source.Position))
                frames.push_back(ToLogFrame(*item, static_cast<std::uint8_t>(channel)));
        }
    }
    if (!frames.empty())
        FRecorder.Push(frames);
}

int TTraceRecordingFeed::Pending(const TCorvexTraceList* list) const {
    for (const TSource& source : FSources) {
        if (source.List == list)
            return source.Position;
    }
    return std::numeric_limits<int>::max();
}

void TTraceRecordingFeed::Cleared(const TCorvexTraceList* list) {
    for (TSource& source : FSources) {
        if (source.List == list)
            source.Position = 0;
    }
}
