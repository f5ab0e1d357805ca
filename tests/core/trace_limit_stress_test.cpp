// A trace with a memory limit, filled by a receive thread while the window's
// thread reads the newest entries and frees the old ones.

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "model/can_frame.h"
#include "views/trace_list.h"

namespace {

TEST(TraceLimitStress, TrimmingWhileAddingNeverLosesOrTearsAKeptEntry) {
    constexpr std::uint32_t Total = 40 * TCorvexTraceList::ChunkSize;
    constexpr std::size_t Limit = 3 * TCorvexTraceList::ChunkSize / 2;
    TCorvexTraceList list;
    list.SetLimit(Limit);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        TCanFrame frame;
        for (std::uint32_t i = 0; i < Total; ++i) {
            frame.Id = i;
            frame.TimeStamp = ~i;
            list.Add(frame, false);
        }
        done = true;
    });

    // Reader: every kept entry is the one of its index. An entry may leave
    // (newer ones push it out) between reading First() and reading it, but
    // then only because First() moved past it.
    long torn = 0;
    long reads = 0;
    while (!done.load()) {
        const int count = list.Count();
        for (int k = list.First(); k < count; k += 97) {
            const TCorvexTraceItem* item = list.Items(k);
            ++reads;
            if (item == nullptr ? k >= list.First()
                                : item->Id != static_cast<std::uint32_t>(k) ||
                                      item->TimeStamp != ~static_cast<std::uint32_t>(k))
                ++torn;
        }
        list.Trim();
    }
    writer.join();
    list.Trim();

    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(list.Count(), static_cast<int>(Total));
    EXPECT_EQ(list.First(), static_cast<int>(Total - Limit));
    EXPECT_EQ(list.Items(list.Count() - 1)->Id, Total - 1);
    // What the limit keeps spans at most three chunks, plus the directory.
    EXPECT_LE(list.MemoryBytes(),
              3 * sizeof(TCorvexTraceItem) * TCorvexTraceList::ChunkSize + 4096);
}

} // namespace
