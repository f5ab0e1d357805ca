// What the trace and the table offer the reader beyond the record itself: a
// limit that keeps the newest entries, filters and queries, the bytes that
// changed and the spread of a row's period.

#include <gtest/gtest.h>

#include "frames.h"
#include "views/table_item.h"
#include "views/trace_filter.h"
#include "views/trace_list.h"

using coretest::MakeFrame;

namespace {

constexpr auto kChunk = static_cast<int>(TCorvexTraceList::ChunkSize);

TEST(TraceLimit, KeepsTheNewestEntriesAndFreesWholeChunks) {
    TCorvexTraceList list;
    list.SetLimit(1000);
    for (std::uint32_t i = 0; i < 3 * TCorvexTraceList::ChunkSize; ++i)
        list.Add(MakeFrame(i, false, false, 0), false);
    const int count = list.Count();
    EXPECT_EQ(count, 3 * kChunk) << "indexes stay those of the whole record";
    EXPECT_EQ(list.First(), count - 1000);
    EXPECT_EQ(list.Items(count - 1001), nullptr);
    ASSERT_NE(list.Items(count - 1000), nullptr);
    EXPECT_EQ(list.Items(count - 1000)->Id, static_cast<std::uint32_t>(count - 1000));

    const std::size_t before = list.MemoryBytes();
    list.Trim();
    EXPECT_LE(list.MemoryBytes(),
              before - 2 * sizeof(TCorvexTraceItem) * TCorvexTraceList::ChunkSize)
        << "the two chunks below the newest 1000 are freed";
    EXPECT_EQ(list.Items(count - 1)->Id, static_cast<std::uint32_t>(count - 1));

    // Raising the limit again cannot bring freed entries back.
    list.SetLimit(0);
    EXPECT_EQ(list.First(), 2 * kChunk);
    EXPECT_EQ(list.Items(2 * kChunk - 1), nullptr);
    ASSERT_NE(list.Items(2 * kChunk), nullptr);

    // Appending goes on after a trim, into new chunks and a grown directory.
    list.SetLimit(10);
    for (std::uint32_t i = 0; i < 70 * TCorvexTraceList::ChunkSize; ++i)
        list.Add(MakeFrame(i, false, false, 0), false);
    list.Trim();
    EXPECT_EQ(list.Items(list.Count() - 1)->Id, 70 * TCorvexTraceList::ChunkSize - 1);
    EXPECT_LE(list.MemoryBytes(),
              2 * sizeof(TCorvexTraceItem) * TCorvexTraceList::ChunkSize + 4096);

    list.Clear();
    EXPECT_EQ(list.First(), 0);
    list.Add(MakeFrame(5, true, false, 0), false);
    EXPECT_EQ(list.Items(0)->Id, 5u);
}

TEST(TraceFilter, IdentifiersRangesAndDirections) {
    TCorvexTraceList list;
    list.Add(MakeFrame(0x0FF, true, false, 0), false);
    list.Add(MakeFrame(0x100, true, false, 0), false);
    list.Add(MakeFrame(0x1FF, true, false, 0), true);
    list.Add(MakeFrame(0x200, true, false, 0), false);

    TTraceFilter filter;
    EXPECT_FALSE(filter.IsActive());
    ASSERT_TRUE(ParseIdRange(" 100 - 1ff ", filter));
    EXPECT_TRUE(filter.IsActive());
    std::vector<bool> shown;
    for (int i = 0; i < 4; ++i)
        shown.push_back(filter.Matches(*list.Items(i)));
    EXPECT_EQ(shown, (std::vector<bool>{false, true, true, false}));
    filter.Direction = TTraceFilter::TDirection::Incoming;
    EXPECT_FALSE(filter.Matches(*list.Items(2)));
    filter.Direction = TTraceFilter::TDirection::Outgoing;
    EXPECT_TRUE(filter.Matches(*list.Items(2)));
    EXPECT_FALSE(filter.Matches(*list.Items(1)));

    ASSERT_TRUE(ParseIdRange("200", filter));
    filter.Direction = TTraceFilter::TDirection::Both;
    EXPECT_TRUE(filter.Matches(*list.Items(3)));
    EXPECT_FALSE(filter.Matches(*list.Items(2)));
    ASSERT_TRUE(ParseIdRange("", filter));
    EXPECT_FALSE(filter.IsActive());
    for (const char* bad : {"1FF-100", "G1", "123456789", "1-", "-"})
        EXPECT_FALSE(ParseIdRange(bad, filter)) << bad;
}

TEST(TraceQuery, IdentifierOrARunOfDataBytes) {
    TCorvexTraceList list;
    list.Add(MakeFrame(0x123, true, false, 4, {0x01, 0xA2, 0xFF, 0x00}), false);
    list.Add(MakeFrame(0x124, true, false, 2, {0xA2, 0xFF}), false);
    list.Add(MakeFrame(0x125, true, true, 8, {0xA2, 0xFF}), false);  // request: no data
    list.Add(MakeFrame(0x126, true, false, 1, {0xA2, 0xFF}), false); // 0xFF beyond the length

    TTraceQuery query;
    ASSERT_TRUE(ParseQuery("123", false, query));
    EXPECT_TRUE(query.Matches(*list.Items(0)));
    EXPECT_FALSE(query.Matches(*list.Items(1)));

    ASSERT_TRUE(ParseQuery("a2 ff", true, query));
    std::vector<bool> found;
    for (int i = 0; i < 4; ++i)
        found.push_back(query.Matches(*list.Items(i)));
    EXPECT_EQ(found, (std::vector<bool>{true, true, false, false}));

    for (const char* bad : {"", "A", "0G", "00 11 22 33 44 55 66 77 88"})
        EXPECT_FALSE(ParseQuery(bad, true, query)) << bad;
    EXPECT_FALSE(ParseQuery("", false, query));
}

TEST(TableRow, ChangedBytesAreThoseOfTheLastSecond) {
    TCorvexTableItem row(0x100, true, false);
    row.Update(MakeFrame(0x100, true, false, 3, {1, 2, 3}, 1000));
    EXPECT_EQ(row.ChangedBytes(1500, 1000), 0b111) << "a new row's bytes are all new";
    row.Update(MakeFrame(0x100, true, false, 3, {1, 9, 3}, 1800));
    EXPECT_EQ(row.ChangedBytes(2100, 1000), 0b010);
    row.Update(MakeFrame(0x100, true, false, 4, {1, 9, 3, 4}, 2500));
    EXPECT_EQ(row.ChangedBytes(2600, 1000), 0b1010) << "a byte the frame grew by is new";
    EXPECT_EQ(row.ChangedBytes(3000, 1000), 0b1000);
    EXPECT_EQ(row.ChangedBytes(3600, 1000), 0);
    // The host tick may wrap between two frames.
    TCorvexTableItem wrapped(0x100, true, false);
    wrapped.Update(MakeFrame(0x100, true, false, 1, {1}, 0xFFFFFF00u));
    wrapped.Update(MakeFrame(0x100, true, false, 1, {2}, 0x10));
    EXPECT_EQ(wrapped.ChangedBytes(0x20, 1000), 1);
}

TEST(TableRow, PeriodSpreadComesFromTheTenthMillisecondTimes) {
    TCorvexTableItem row(0x100, true, false);
    EXPECT_EQ(row.GetPeriodSpreadText(), "");
    // Received frames carry the adapter's 0.1 ms stamps in TimeUs; the host
    // tick sees 9.9 and 10.1 ms alike as 10 ms.
    std::int64_t us = 1'700'000'000'000'000;
    const auto frameAt = [&](std::int64_t step) {
        TCanFrame frame =
            MakeFrame(0x100, true, false, 0, {}, static_cast<std::uint32_t>(us / 1000));
        frame.TimeUs = us += step;
        return frame;
    };
    row.Update(frameAt(0));
    for (int i = 0; i < 8; ++i)
        row.Update(frameAt(10'000));
    EXPECT_EQ(row.GetPeriodSpreadText(),
              "period 10.0 ms  min 10.0 ms  max 10.0 ms  jitter 0.00 ms");
    for (std::int64_t step : {9'900, 10'100, 9'900, 10'100})
        row.Update(frameAt(step));
    EXPECT_EQ(row.PeriodMin, 99u);
    EXPECT_EQ(row.PeriodMax, 101u);
    // Each interval is 0.1 ms off; the running mean has moved part of the way there.
    EXPECT_GT(row.JitterSixteenths, 2u);
    EXPECT_LT(row.JitterSixteenths, 16u);
    // A clock set back between two sent frames counts as no time, not as days.
    row.Update(frameAt(-5'000'000));
    EXPECT_EQ(row.PeriodMin, 0u);
    EXPECT_EQ(row.PeriodMax, 101u);
}

} // namespace
