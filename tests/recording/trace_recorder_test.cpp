// The recorder: what is pushed is written, in order, or counted as dropped;
// the file is readable while the recording runs; saved traces merge by time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

#include "log_reader.h"
#include "model/can_frame.h"
#include "recording/trace_log_frames.h"
#include "recording/trace_recorder.h"
#include "recording/trace_recording_feed.h"
#include "views/trace_list.h"
#include "wait_until.h"

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            (name + "-" + std::to_string(::getpid()) + ".csv"))
        .string();
}

canlog::LogContents ReadBack(const std::string& path) {
    std::string error;
    auto contents = canlog::readLogFile(path, std::nullopt, error);
    EXPECT_TRUE(contents) << error;
    return contents.value_or(canlog::LogContents{});
}

// Producer p's n-th frame: channel p % 2, identifier p, the sequence in the data.
canlog::LogFrame Numbered(std::uint32_t producer, std::uint32_t n) {
    canlog::LogFrame frame;
    frame.timeUs = 1'700'000'000'000'000 + n;
    frame.channel = static_cast<std::uint8_t>(producer % 2);
    frame.id = producer;
    frame.length = 4;
    for (int b = 0; b < 4; ++b)
        frame.data[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(n >> (8 * b));
    return frame;
}

std::uint32_t SequenceOf(const canlog::LogFrame& frame) {
    return frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16 |
           static_cast<std::uint32_t>(frame.data[3]) << 24;
}

void StressRecorder(std::size_t capacity, std::uint32_t perProducer, bool mayDrop) {
    const std::string path = TempPath("recorder-stress-" + std::to_string(capacity));
    std::string error;
    auto recorder = TTraceRecorder::Start(path, canlog::Format::Csv, 0, error, capacity);
    ASSERT_TRUE(recorder) << error;
    constexpr std::uint32_t kProducers = 4;
    std::array<std::uint64_t, kProducers> refused{};
    std::vector<std::thread> producers;
    for (std::uint32_t p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (std::uint32_t n = 0; n < perProducer; ++n) {
                if (!recorder->Push(Numbered(p, n)))
                    ++refused[p];
            }
        });
    }
    // Meanwhile the owner reads the counters, as the window does.
    std::uint64_t lastWritten = 0;
    bool countersMonotonic = true;
    for (int i = 0; i < 50; ++i) {
        const auto written = recorder->FramesWritten();
        countersMonotonic = countersMonotonic && written >= lastWritten;
        lastWritten = written;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (auto& thread : producers)
        thread.join();
    ASSERT_TRUE(recorder->Stop());
    EXPECT_TRUE(countersMonotonic);
    std::uint64_t refusedTotal = 0;
    for (auto r : refused)
        refusedTotal += r;
    EXPECT_EQ(recorder->FramesDropped(), refusedTotal);
    if (!mayDrop) {
        EXPECT_EQ(refusedTotal, 0u);
    }
    EXPECT_EQ(recorder->FramesWritten() + recorder->FramesDropped(),
              std::uint64_t{kProducers} * perProducer);
    EXPECT_EQ(recorder->BytesWritten(), std::filesystem::file_size(path));

    const auto contents = ReadBack(path);
    EXPECT_EQ(contents.malformedLines, 0u);
    EXPECT_EQ(contents.frames.size(), recorder->FramesWritten());
    // Each producer's frames arrive in the order it pushed them.
    std::map<std::uint32_t, std::int64_t> last;
    for (const auto& frame : contents.frames) {
        const auto [it, added] = last.emplace(frame.id, -1);
        EXPECT_GT(static_cast<std::int64_t>(SequenceOf(frame)), it->second) << frame.id;
        it->second = SequenceOf(frame);
    }
    std::filesystem::remove(path);
}

TEST(TraceRecorder, ProducersOnManyThreadsLoseNothingWithRoomToSpare) {
    StressRecorder(TTraceRecorder::DefaultCapacity, 20000, false);
}

TEST(TraceRecorder, AFullQueueDropsAndCountsEveryFrameItRefuses) {
    StressRecorder(16, 20000, true);
}

TEST(TraceRecorder, TheFileIsReadableWhileRecording) {
    const std::string path = TempPath("recorder-live");
    std::string error;
    auto recorder = TTraceRecorder::Start(path, canlog::Format::Csv, 0, error);
    ASSERT_TRUE(recorder) << error;
    for (std::uint32_t n = 0; n < 100; ++n)
        recorder->Push(Numbered(1, n));
    // Flushed within a flush interval without stopping: what a crash would leave.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::size_t seen = 0;
    while ((seen = ReadBack(path).frames.size()) < 100 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(seen, 100u);
    EXPECT_TRUE(recorder->Stop());
    std::filesystem::remove(path);
}

TEST(TraceRecorder, FeedHandsOverNewEntriesOfBothChannelsAndSavedTracesMergeByTime) {
    TCorvexTraceList channel0, channel1;
    TCanFrame frame;
    frame.IsStandard = true;
    frame.Len = 1;
    auto add = [&frame](TCorvexTraceList& list, std::uint32_t id, std::int64_t us, bool out) {
        frame.Id = id;
        frame.TimeUs = us;
        list.Add(frame, out);
    };
    add(channel0, 0x100, 1000, false); // before the recording: not recorded
    const std::string path = TempPath("recorder-feed");
    std::string error;
    auto recorder = TTraceRecorder::Start(path, canlog::Format::Csv, 0, error);
    ASSERT_TRUE(recorder) << error;
    TTraceRecordingFeed feed(*recorder, {&channel0, &channel1});
    add(channel0, 0x101, 3000, false);
    add(channel1, 0x201, 2000, true);
    feed.Feed();
    add(channel1, 0x202, 4000, false);
    feed.Feed();
    channel1.Clear();
    feed.Cleared(&channel1);
    add(channel1, 0x203, 5000, false);
    feed.Feed();
    ASSERT_TRUE(recorder->Stop());
    const auto recorded = ReadBack(path).frames;
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[0].id, 0x101u);
    EXPECT_EQ(recorded[1].id, 0x201u);
    EXPECT_EQ(recorded[1].channel, 1);
    EXPECT_TRUE(recorded[1].tx);
    EXPECT_EQ(recorded[3].id, 0x203u);

    // A standard frame sent from an item with a long identifier goes on the
    // bus, and into logs, with the identifier's low 11 bits.
    frame.Id = 0x18FF50E5;
    const TCorvexTraceItem longId(frame, true);
    EXPECT_EQ(ToLogFrame(longId, 0).id, 0x0E5u);

    const auto merged = MergedTrace({{&channel0, 0}, {&channel1, 1}});
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].id, 0x100u);
    EXPECT_EQ(merged[1].id, 0x101u);
    EXPECT_EQ(merged[2].id, 0x203u);
    ASSERT_TRUE(SaveLog(merged, path, canlog::Format::Asc, error)) << error;
    std::string readError;
    const auto saved = canlog::readLogFile(path, canlog::Format::Asc, readError);
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->frames.size(), 3u);
    EXPECT_EQ(saved->frames[2].timeUs - saved->frames[0].timeUs, 4000);
    std::filesystem::remove(path);
}

} // namespace

// A queue far smaller than the backlog: each feed hands over only what fits
// and leaves the rest in the trace list, so a writer that falls behind loses
// nothing, even when the trace's memory limit hides those entries from view.
TEST(TraceRecorder, FeedWaitsInTheTraceListWhileTheQueueIsFull) {
    TCorvexTraceList trace;
    trace.SetLimit(100);
    const std::string path = TempPath("recorder-backlog");
    std::string error;
    auto recorder = TTraceRecorder::Start(path, canlog::Format::Csv, 0, error, 4096);
    ASSERT_TRUE(recorder) << error;
    TTraceRecordingFeed feed(*recorder, {&trace});
    TCanFrame frame;
    frame.IsStandard = true;
    const std::uint32_t total = 3 * TCorvexTraceList::ChunkSize + 5;
    for (std::uint32_t i = 0; i < total; ++i) {
        frame.Id = i & 0x7FF;
        frame.TimeUs = i;
        trace.Add(frame, false);
    }
    const bool caughtUp = tessel::test::WaitUntil([&] {
        feed.Feed();
        trace.Trim(feed.Pending(&trace));
        return recorder->FramesWritten() == total;
    });
    EXPECT_TRUE(caughtUp);
    EXPECT_EQ(recorder->FramesDropped(), 0u);
    EXPECT_LE(trace.MemoryBytes(),
              2 * sizeof(TCorvexTraceItem) * TCorvexTraceList::ChunkSize + 4096)
        << "once recorded, the chunks that hold only hidden entries are freed";
    ASSERT_TRUE(recorder->Stop());
    const auto recorded = ReadBack(path).frames;
    ASSERT_EQ(recorded.size(), total);
    for (std::uint32_t i = 0; i < total; ++i)
        ASSERT_EQ(recorded[i].id, i & 0x7FF) << "frame " << i;
    std::filesystem::remove(path);
}
