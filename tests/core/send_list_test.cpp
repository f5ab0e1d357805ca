#include <vector>

#include <gtest/gtest.h>

#include "fake_ticks.h"
#include "test_support.h"
#include "transmit/send_list.h"

namespace {

std::unique_ptr<TCanSendItem> MakeItem(std::uint32_t id, TCanSendType type, bool enabled,
                                       std::int32_t period = 0) {
    auto item = std::make_unique<TCanSendItem>();
    item->Frame.Id = id;
    item->SendType = type;
    item->Enabled.store(enabled);
    item->Period = period;
    return item;
}

std::vector<std::uint32_t> Ids(const TCanSendList& list) {
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < list.Count(); ++i)
        ids.push_back(list.Items(i)->Frame.Id);
    return ids;
}

// A send list whose handler records what it sent.
struct Recorder {
    std::vector<std::uint32_t> Sent;
    void Attach(TCanSendList& list) {
        list.SetOnSend([this](const TCanFrame& frame) { Sent.push_back(frame.Id); });
    }
};

} // namespace

TEST(SendList, AddGivesTheListsHandlerAndSetOnSendReachesEveryItem) {
    TCanSendList list;
    Recorder recorder;
    list.Add(MakeItem(1, TCanSendType::Single, false));
    recorder.Attach(list);
    list.Add(MakeItem(2, TCanSendType::Single, false));
    list.Items(0)->Send();
    list.Items(1)->Send();
    EXPECT_EQ(recorder.Sent, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(list.Items(2), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
}

TEST(SendList, MovesAtTheEdgesChangeNothing) {
    TCanSendList list;
    for (std::uint32_t id = 1; id <= 3; ++id)
        list.Add(MakeItem(id, TCanSendType::Single, false));
    EXPECT_FALSE(list.MoveDown(2));
    EXPECT_FALSE(list.MoveDown(-1));
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveUp(3));
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_TRUE(list.MoveDown(0));
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{2, 1, 3}));
    EXPECT_TRUE(list.MoveUp(2));
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{2, 3, 1}));
    EXPECT_TRUE(list.Delete(1));
    EXPECT_FALSE(list.Delete(2));
    EXPECT_EQ(Ids(list), (std::vector<std::uint32_t>{2, 1}));
}

TEST(SendList, PeriodicSweepAcrossATickWrap) {
    tessel::test::FakeTicks ticks(90);
    TCanSendList list;
    Recorder recorder;
    recorder.Attach(list);
    list.Add(MakeItem(0x10, TCanSendType::Periodic, true, 100));
    list.Items(0)->LastSendTime.store(4294967290u);

    list.SendPeriodic(90); // 96 ms since the last send
    EXPECT_TRUE(recorder.Sent.empty());
    ticks.Set(94);
    list.SendPeriodic(94); // 100 ms across the wrap
    EXPECT_EQ(recorder.Sent.size(), 1u);
    EXPECT_EQ(list.Items(0)->LastSendTime.load(), 94u);
}

TEST(SendList, PeriodicSweepWaitsForThePeriodSinceTheLastSend) {
    tessel::test::FakeTicks ticks(5000);
    TCanSendList list;
    Recorder recorder;
    recorder.Attach(list);
    list.Add(MakeItem(1, TCanSendType::Periodic, true, 1000));
    list.Add(MakeItem(2, TCanSendType::Periodic, false, 1)); // switched off
    list.Add(MakeItem(3, TCanSendType::Single, true, 1));    // not periodic
    list.Add(MakeItem(4, TCanSendType::OnRequest, true, 1)); // not periodic
    list.Add(MakeItem(5, TCanSendType::Periodic, true, 0));  // every sweep

    list.SendPeriodic(5000); // never sent before: goes out at once
    EXPECT_EQ(recorder.Sent, (std::vector<std::uint32_t>{1, 5}));
    recorder.Sent.clear();
    ticks.Set(5999);
    list.SendPeriodic(5999);
    EXPECT_EQ(recorder.Sent, (std::vector<std::uint32_t>{5}));
    recorder.Sent.clear();
    ticks.Set(6000);
    list.SendPeriodic(6000);
    EXPECT_EQ(recorder.Sent, (std::vector<std::uint32_t>{1, 5}));
}

TEST(SendList, OnRequestSweepSendsSwitchedOnRequestItemsOnly) {
    TCanSendList list;
    Recorder recorder;
    recorder.Attach(list);
    list.Add(MakeItem(1, TCanSendType::OnRequest, true));
    list.Add(MakeItem(2, TCanSendType::OnRequest, false));
    list.Add(MakeItem(3, TCanSendType::Periodic, true, 1));
    list.Add(MakeItem(4, TCanSendType::Single, true));
    list.Add(MakeItem(5, TCanSendType::OnRequest, true));
    list.SendOnRequest();
    EXPECT_EQ(recorder.Sent, (std::vector<std::uint32_t>{1, 5}));
}

TEST(SendList, ResetCountersReportsEachItemOnce) {
    TCanSendList list;
    Recorder recorder;
    recorder.Attach(list);
    std::vector<std::pair<int, int>> reports;
    for (int i = 0; i < 3; ++i) {
        list.Add(MakeItem(static_cast<std::uint32_t>(i), TCanSendType::Single, false));
        list.Items(i)->Tag = i;
        list.Items(i)->Send();
        list.Items(i)->OnCountChanged = [&](std::int32_t count, std::int32_t tag) {
            reports.emplace_back(count, tag);
        };
    }
    list.ResetCounters();
    EXPECT_EQ(reports, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list.Items(i)->Count.load(), 0);
}

TEST(SendList, SetStandardReachesEveryFrame) {
    TCanSendList list;
    list.Add(MakeItem(1, TCanSendType::Single, false));
    list.Add(MakeItem(2, TCanSendType::Single, false));
    list.SetStandard(true);
    EXPECT_TRUE(list.IsStandard);
    EXPECT_TRUE(list.Items(0)->Frame.IsStandard);
    EXPECT_TRUE(list.Items(1)->Frame.IsStandard);
    list.SetStandard(false);
    EXPECT_FALSE(list.Items(1)->Frame.IsStandard);
}
