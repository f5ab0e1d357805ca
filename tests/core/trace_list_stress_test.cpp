#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "model/can_frame.h"
#include "model/logger.h"
#include "views/trace_list.h"

namespace {

// Every field of the entry follows from the producer and the sequence number,
// so a reader can tell a torn or stale entry from a whole one.
TCanFrame StressFrame(std::uint32_t producer, std::uint32_t sequence) {
    TCanFrame frame;
    frame.Id = (producer << 28) | (sequence & 0x0FFFFFFF);
    frame.TimeStamp = sequence * 7u;
    frame.Len = sequence % 9;
    for (std::size_t i = 0; i < frame.Data.size(); ++i)
        frame.Data[i] = static_cast<std::uint8_t>(sequence + i);
    frame.IsStandard = (sequence & 1) != 0;
    return frame;
}

bool IsWhole(const TCorvexTraceItem& item) {
    const std::uint32_t producer = item.Id >> 28;
    const std::uint32_t sequence = item.Id & 0x0FFFFFFF;
    if (producer > 1 || item.IsOutgoing != (producer == 1))
        return false;
    if (item.TimeStamp != sequence * 7u || item.Len != static_cast<std::int32_t>(sequence % 9))
        return false;
    for (std::size_t i = 0; i < item.Data.size(); ++i)
        if (item.Data[i] != static_cast<std::uint8_t>(sequence + i))
            return false;
    return item.IsStandard == ((sequence & 1) != 0);
}

} // namespace

TEST(TraceListStress, TwoAppendersAndAReaderThatClears) {
    TCorvexTraceList list;
    constexpr std::uint32_t PerProducer = 150000;
    constexpr int ClearsWanted = 3;
    std::atomic<int> clears{0};
    std::atomic<int> running{2};
    // Each producer goes on until it has added its share and the reader has
    // cleared a few times, so the clears always race with live appends.
    auto produce = [&](std::uint32_t producer) {
        for (std::uint32_t sequence = 0; sequence < PerProducer || clears.load() < ClearsWanted;
             ++sequence)
            list.Add(StressFrame(producer, sequence & 0x0FFFFFFF), producer == 1);
        running.fetch_sub(1);
    };
    std::thread receive(produce, 0);
    std::thread send(produce, 1);

    // The window's thread: catch up like the trace view, check every entry,
    // and clear now and then. Findings are recorded and checked after the join.
    int shown = 0;
    std::size_t checked = 0;
    std::size_t torn = 0;
    std::size_t emptyTexts = 0;
    std::size_t missing = 0;
    std::size_t pastTheEnd = 0;
    std::uint32_t lastSequence[2] = {0, 0};
    bool orderKept = true;
    while (running.load() > 0) {
        const int count = list.Count();
        for (int i = shown; i < count; ++i) {
            const TCorvexTraceItem* item = list.Items(i);
            if (item == nullptr) {
                ++missing;
                continue;
            }
            if (!IsWhole(*item)) {
                ++torn;
                continue;
            }
            emptyTexts += item->GetText().empty() ? 1 : 0;
            const std::uint32_t producer = item->Id >> 28;
            const std::uint32_t sequence = item->Id & 0x0FFFFFFF;
            orderKept = orderKept && (sequence >= lastSequence[producer]);
            lastSequence[producer] = sequence;
            ++checked;
        }
        shown = count;
        pastTheEnd += list.Items(count + 1000000) != nullptr ? 1 : 0;
        if (checked > static_cast<std::size_t>(clears.load() + 1) * 40000) {
            list.Clear();
            clears.fetch_add(1);
            shown = 0;
        }
    }
    receive.join();
    send.join();

    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(torn, 0u);
    EXPECT_EQ(emptyTexts, 0u);
    EXPECT_EQ(pastTheEnd, 0u);
    EXPECT_TRUE(orderKept); // each producer's entries keep their order
    EXPECT_GE(clears.load(), ClearsWanted);
    for (int i = 0; i < list.Count(); ++i)
        ASSERT_TRUE(IsWhole(*list.Items(i))) << "entry " << i;
}

TEST(LoggerStress, TwoProducersOneConsumerKeepEachProducersOrder) {
    TLogger logger;
    constexpr int PerProducer = 20000;
    auto produce = [&](char producer) {
        for (int i = 0; i < PerProducer; ++i)
            logger.Add(std::string(1, producer) + std::to_string(i));
    };
    std::thread a(produce, 'a');
    std::thread b(produce, 'b');
    int next[2] = {0, 0};
    int outOfOrder = 0;
    std::string line;
    while (next[0] + next[1] < 2 * PerProducer) {
        while (!logger.IsEmpty() && logger.Pop(line)) {
            const int producer = line[0] - 'a';
            outOfOrder += std::stoi(line.substr(1)) != next[producer] ? 1 : 0;
            ++next[producer];
        }
        std::this_thread::yield();
    }
    a.join();
    b.join();
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_TRUE(logger.IsEmpty());
}
