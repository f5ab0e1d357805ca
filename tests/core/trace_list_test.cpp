#include <gtest/gtest.h>

#include "frames.h"
#include "views/trace_list.h"

using coretest::MakeFrame;

TEST(TraceList, ItemsOutsideTheListAreNull) {
    TCorvexTraceList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Items(0), nullptr);
    list.Add(MakeFrame(1, true, false, 0), false);
    list.Add(MakeFrame(2, true, false, 0), true);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(-1), nullptr);
    EXPECT_EQ(list.Items(2), nullptr);
    ASSERT_NE(list.Items(0), nullptr);
    EXPECT_EQ(list.Items(0)->Id, 1u);
    EXPECT_FALSE(list.Items(0)->IsOutgoing);
    EXPECT_TRUE(list.Items(1)->IsOutgoing);
}

TEST(TraceList, EntryIsACopyOfTheFrame) {
    TCorvexTraceList list;
    TCanFrame frame = MakeFrame(0x123, true, false, 2, {0xAA, 0xBB}, 77);
    list.Add(frame, false);
    frame.Id = 0x456;
    frame.Data[0] = 0;
    frame.TimeStamp = 1;
    EXPECT_EQ(list.Items(0)->GetText(), "IN  ts: 77  id: 123  l: 2  data: AA BB ");
}

TEST(TraceList, ClearStartsAgainAtIndexZero) {
    TCorvexTraceList list;
    for (std::uint32_t i = 0; i < 3 * TCorvexTraceList::ChunkSize + 5; ++i)
        list.Add(MakeFrame(i, false, false, 0), false);
    EXPECT_EQ(list.Items(static_cast<int>(2 * TCorvexTraceList::ChunkSize + 1))->Id,
              2 * TCorvexTraceList::ChunkSize + 1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Items(0), nullptr);
    list.Add(MakeFrame(0xABC, true, false, 0), true);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0)->Id, 0xABCu);
}

TEST(TraceList, KeepsOrderAcrossChunksAndDirectoryGrowth) {
    TCorvexTraceList list;
    const std::uint32_t total = 70 * TCorvexTraceList::ChunkSize; // beyond the first directory
    for (std::uint32_t i = 0; i < total; ++i)
        list.Add(MakeFrame(i, false, false, 0, {}, i * 3), (i & 1) != 0);
    ASSERT_EQ(list.Count(), static_cast<int>(total));
    for (std::uint32_t i = 0; i < total; i += 997) {
        const TCorvexTraceItem* item = list.Items(static_cast<int>(i));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Id, i);
        EXPECT_EQ(item->TimeStamp, i * 3);
        EXPECT_EQ(item->IsOutgoing, (i & 1) != 0);
    }
    EXPECT_EQ(list.Items(static_cast<int>(total - 1))->Id, total - 1);
}
