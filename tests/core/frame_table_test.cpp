#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "frames.h"
#include "views/frame_table.h"

using coretest::MakeFrame;

namespace {

// Records every event the table raises.
struct EventLog {
    std::vector<std::tuple<std::uint32_t, int, bool>> Changes; // row key, index, inserted
    int Cleared = 0;
    int Refreshed = 0;

    void Bind(TCorvexTable& table) {
        table.SetOnItemChanged([this](TCorvexTableItem* row, int index, bool inserted) {
            Changes.emplace_back(row->Key, index, inserted);
        });
        table.SetOnCleared([this] { ++Cleared; });
        table.SetOnRefresh([this] { ++Refreshed; });
    }
};

TCanFrame DataAt(std::uint32_t id, std::uint32_t timeStamp) {
    return MakeFrame(id, true, false, 1, {0x11}, timeStamp);
}

// The period of a row after frames at three time stamps.
std::int32_t PeriodAfter(std::uint32_t first, std::uint32_t second, std::uint32_t third) {
    TCorvexTableItem row(0x100, true, false);
    row.Update(DataAt(0x100, first));
    row.Update(DataAt(0x100, second));
    row.Update(DataAt(0x100, third));
    return row.Period;
}

} // namespace

TEST(TableItem, KeysSortByIdentifierThenKind) {
    EXPECT_EQ(TCorvexTableItem::MakeKey(0x123, true, true), 0x48Cu);
    EXPECT_EQ(TCorvexTableItem::MakeKey(0x123, true, false), 0x48Du);
    EXPECT_EQ(TCorvexTableItem::MakeKey(0x123, false, true), 0x48Eu);
    EXPECT_EQ(TCorvexTableItem::MakeKey(0x123, false, false), 0x48Fu);
    EXPECT_EQ(TCorvexTableItem::MakeKey(0x1FFFFFFF, false, false), 0x7FFFFFFFu);
}

TEST(TableItem, FirstFrameLeavesPeriodZeroSecondSetsTheExactInterval) {
    TCorvexTableItem row(0x100, true, false);
    row.Update(DataAt(0x100, 1000));
    EXPECT_EQ(row.Count, 1);
    EXPECT_EQ(row.Period, 0);
    row.Update(DataAt(0x100, 1250));
    EXPECT_EQ(row.Count, 2);
    EXPECT_EQ(row.Period, 250);
    EXPECT_EQ(row.LastTimeStamp, 1250u);
}

TEST(TableItem, PeriodMovesAnEighthTowardsEachInterval) {
    EXPECT_EQ(PeriodAfter(0, 100, 300), 113); // 25 + 100 - 12
    EXPECT_EQ(PeriodAfter(0, 100, 200), 100);
    EXPECT_EQ(PeriodAfter(0, 100, 100), 88); // interval 0: 0 + 100 - 12
}

TEST(TableItem, PeriodAcrossATickWrap) {
    EXPECT_EQ(PeriodAfter(0xFFFFFF9Cu, 0x00000000u, 0x000000C8u), 113); // 100, then 200
    EXPECT_EQ(PeriodAfter(0xFFFFFF00u, 0xFFFFFF64u, 0x0000002Cu),
              113); // 100, then 200 across the wrap
}

TEST(TableItem, BackwardsTimeStamps) {
    TCorvexTableItem second(0x100, true, false);
    second.Update(DataAt(0x100, 1000));
    second.Update(DataAt(0x100, 990)); // huge unsigned interval, negative as signed
    EXPECT_EQ(second.Period, 0);

    // Period 100, then a time stamp 8 ms back: D = FFFFFFF8 hex.
    EXPECT_EQ(PeriodAfter(1000, 1100, 1092), 536870999);
}

TEST(TableItem, LengthIsLimitedAndOldBytesStayBehindIt) {
    TCorvexTableItem row(0x100, true, false);
    row.Update(MakeFrame(0x100, true, false, 12, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(row.Len, 8);
    EXPECT_EQ(row.GetColumnText(1), "01 02 03 04 05 06 07 08");
    row.Update(MakeFrame(0x100, true, false, 2, {0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(row.Len, 2);
    EXPECT_EQ(row.GetColumnText(1), "AA BB");
    EXPECT_EQ(row.Data[2], 3); // not shown, but kept
}

TEST(TableItem, ColumnTexts) {
    TCorvexTableItem data(0x7F, true, false);
    data.Update(MakeFrame(0x7F, true, false, 3, {0x0A, 0xB0, 0xFF}, 10));
    data.Update(MakeFrame(0x7F, true, false, 3, {0x0A, 0xB0, 0xFF}, 60));
    EXPECT_EQ(data.GetColumnText(0), "3");
    EXPECT_EQ(data.GetColumnText(1), "0A B0 FF");
    EXPECT_EQ(data.GetColumnText(2), "2");
    EXPECT_EQ(data.GetColumnText(3), "50");
    EXPECT_EQ(data.GetColumnText(4), "");
    EXPECT_EQ(data.GetColumnText(-1), "");
    EXPECT_EQ(data.GetIdText(), "07F");
    EXPECT_EQ(data.GetRowKey(), 0x7Fu);

    TCorvexTableItem remote(0x7F, false, true);
    remote.Update(MakeFrame(0x7F, false, true, 4));
    EXPECT_EQ(remote.GetColumnText(0), "4");
    EXPECT_EQ(remote.GetColumnText(1), "Request");
    EXPECT_EQ(remote.GetIdText(), "0000007F");
    EXPECT_EQ(remote.GetRowKey(), 0xC000007Fu);

    TCorvexTableItem empty(0x1, true, false);
    empty.Update(MakeFrame(0x1, true, false, 0));
    EXPECT_EQ(empty.GetColumnText(1), "");
}

TEST(FrameTable, NewKeyInsertsARowAndRaisesOneChange) {
    TCorvexTable table;
    EventLog log;
    log.Bind(table);
    table.Update(DataAt(0x100, 10));
    table.Update(DataAt(0x100, 35));
    ASSERT_EQ(table.Count(), 1);
    EXPECT_EQ(table.Items(0)->Count, 2);
    EXPECT_EQ(table.Items(0)->Period, 25);
    const auto key = TCorvexTableItem::MakeKey(0x100, true, false);
    ASSERT_EQ(log.Changes.size(), 2u);
    EXPECT_EQ(log.Changes[0], std::make_tuple(key, 0, true));
    EXPECT_EQ(log.Changes[1], std::make_tuple(key, 0, false));
}

TEST(FrameTable, RowsStayInKeyOrderAndReportInsertionIndices) {
    TCorvexTable table;
    EventLog log;
    log.Bind(table);
    table.Update(DataAt(0x200, 0));
    table.Update(DataAt(0x100, 0));
    table.Update(DataAt(0x300, 0));
    ASSERT_EQ(table.Count(), 3);
    EXPECT_EQ(table.Items(0)->Id, 0x100u);
    EXPECT_EQ(table.Items(1)->Id, 0x200u);
    EXPECT_EQ(table.Items(2)->Id, 0x300u);
    EXPECT_EQ(std::get<1>(log.Changes[1]), 0);
    EXPECT_EQ(std::get<1>(log.Changes[2]), 2);
    EXPECT_EQ(table.Items(3), nullptr);
    EXPECT_EQ(table.Items(-1), nullptr);
}

// Many rows arriving in scattered order: every event names the row's place
// at that moment, and the rows end in key order.
TEST(FrameTable, TwentyThousandIdentifiersInAnyOrderKeepKeyOrder) {
    constexpr std::uint32_t kIds = 20000;
    TCorvexTable table;
    int misplaced = 0;
    int inserts = 0;
    table.SetOnItemChanged([&](TCorvexTableItem* row, int index, bool inserted) {
        inserts += inserted ? 1 : 0;
        if (table.Items(index) != row)
            ++misplaced;
    });
    for (std::uint32_t n = 0; n < 3 * kIds; ++n) {
        // A permutation of 0..kIds-1 three times: standard, extended, and
        // the standard rows again.
        const std::uint32_t id = (n * 7919u) % kIds;
        table.Update(MakeFrame(id * 3, (n / kIds) % 2 == 0, false, 0, {}, n));
    }
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(inserts, static_cast<int>(2 * kIds));
    ASSERT_EQ(table.Count(), static_cast<int>(2 * kIds));
    for (int i = 1; i < table.Count(); ++i)
        ASSERT_LT(table.Items(i - 1)->Key, table.Items(i)->Key) << "row " << i;
}

TEST(FrameTable, OneIdentifierInThreeKinds) {
    TCorvexTable table;
    table.Update(MakeFrame(0x55, true, false, 0));  // standard data
    table.Update(MakeFrame(0x55, false, false, 0)); // extended data
    table.Update(MakeFrame(0x55, true, true, 0));   // standard remote
    ASSERT_EQ(table.Count(), 3);
    EXPECT_TRUE(table.Items(0)->IsStandard && table.Items(0)->IsRemote);
    EXPECT_TRUE(table.Items(1)->IsStandard && !table.Items(1)->IsRemote);
    EXPECT_TRUE(!table.Items(2)->IsStandard && !table.Items(2)->IsRemote);
}

TEST(FrameTable, RequestsAreCarriedOutByProcessRequests) {
    TCorvexTable table;
    EventLog log;
    log.Bind(table);
    table.Update(DataAt(0x100, 0));

    table.RequestClear();
    EXPECT_TRUE(table.ClearPending.load());
    EXPECT_EQ(table.Count(), 1); // a request alone changes nothing
    table.ProcessRequests();
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(log.Cleared, 1);
    EXPECT_FALSE(table.ClearPending.load());
    table.ProcessRequests();
    EXPECT_EQ(log.Cleared, 1);

    table.Update(DataAt(0x100, 0));
    table.RequestRefresh();
    table.ProcessRequests();
    EXPECT_EQ(log.Refreshed, 1);
    EXPECT_EQ(table.Count(), 1); // a refresh keeps the rows
    EXPECT_FALSE(table.RefreshPending.load());
}

TEST(FrameTable, BothRequestsRefreshFirstThenClear) {
    TCorvexTable table;
    std::vector<std::string> order;
    table.SetOnRefresh([&] { order.push_back("refresh"); });
    table.SetOnCleared([&] { order.push_back("clear"); });
    table.RequestClear();
    table.RequestRefresh();
    table.ProcessRequests();
    EXPECT_EQ(order, (std::vector<std::string>{"refresh", "clear"}));
}

TEST(FrameTable, UnsetEventsRaiseNothing) {
    TCorvexTable table;
    EventLog log;
    log.Bind(table);
    EXPECT_TRUE(static_cast<bool>(table.GetOnItemChanged()));
    table.SetOnItemChanged(nullptr);
    table.SetOnCleared(nullptr);
    table.SetOnRefresh(nullptr);
    EXPECT_FALSE(static_cast<bool>(table.GetOnItemChanged()));
    table.Update(DataAt(0x100, 0));
    table.Clear();
    table.Refresh();
    EXPECT_TRUE(log.Changes.empty());
    EXPECT_EQ(log.Cleared + log.Refreshed, 0);
}

TEST(FrameTable, HandlersMayReadTheTableAndReadItemCopiesARow) {
    TCorvexTable table;
    int rowsSeen = -1;
    table.SetOnRefresh([&] {
        rowsSeen = 0;
        TCorvexTableItem snapshot(0, true, true);
        for (int i = 0; i < table.Count(); ++i)
            rowsSeen += table.ReadItem(i, snapshot) ? 1 : 0;
    });
    table.Update(DataAt(0x100, 0));
    table.Update(DataAt(0x101, 0));
    table.Refresh();
    EXPECT_EQ(rowsSeen, 2);

    TCorvexTableItem snapshot(0, true, true);
    ASSERT_TRUE(table.ReadItem(1, snapshot));
    EXPECT_EQ(snapshot.Id, 0x101u);
    EXPECT_EQ(snapshot.GetColumnText(1), "11");
    EXPECT_FALSE(table.ReadItem(2, snapshot));
}
