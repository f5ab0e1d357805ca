#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "adapters/zlg_adapter.h"
#include "fake_ticks.h"
#include "fake_vci.h"
#include "platform/tick_count.h"
#include "test_files.h"
#include "transmit/send_list.h"
#include "views/frame_table.h"
#include "views/trace_list.h"
#include "wait_until.h"

using tessel::test::WaitUntil;

namespace {

void AddItem(TCanSendList& list, TCanSendType type, bool enabled, uint32_t id) {
    auto item = std::make_unique<TCanSendItem>();
    item->SendType = type;
    item->Enabled = enabled;
    item->Period = 1000000; // a periodic item here must only be sent by the periodic sweep
    item->Frame.Id = id;
    item->Frame.IsStandard = true;
    item->Frame.Len = 1;
    list.Add(std::move(item));
}

class ZlgThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTransmitLists();
        FakeTick.Set(1000);
        FAdapter = std::make_unique<CAdapterZlg>(FVci);
    }
    void TearDown() override {
        FAdapter->CloseChannel(0);
        FAdapter->CloseChannel(1);
        FAdapter.reset();
        RemoveTransmitLists();
    }

    TCorvexTraceList& Trace(int channel) { return *FAdapter->GetTraceList(channel); }

    TFakeVci FVci;
    tessel::test::FakeTicks FakeTick;
    std::unique_ptr<CAdapterZlg> FAdapter;
};

TEST_F(ZlgThreadsTest, ReceivedRecordsReachTraceAndTableWithMappedTimes) {
    VciCanFrame unstamped = MakeRecord(0x7FF, false, false, 2, 0, 0xA0);
    unstamped.stampValid = 0;
    VciCanFrame oddLength = MakeRecord(0x123, false, false, 12, 9000);
    FVci.QueueBatch({MakeRecord(0x1ABCDE, false, true, 8, 5000, 0x10),
                     MakeRecord(0x1ABCDE, false, true, 8, 5000 + 12345, 0x20), unstamped,
                     oddLength});
    ASSERT_TRUE(FAdapter->OpenChannel(0));
    ASSERT_TRUE(WaitUntil([&] { return Trace(0).Count() == 4; }));
    FAdapter->CloseChannel(0);

    const TCorvexTraceItem* first = Trace(0).Items(0);
    EXPECT_EQ(first->Id, 0x1ABCDEu);
    EXPECT_FALSE(first->IsStandard);
    EXPECT_FALSE(first->IsOutgoing);
    EXPECT_EQ(first->TimeStamp, 1000u);
    EXPECT_EQ(first->Data[0], 0x10);
    EXPECT_EQ(first->Data[7], 0x17);
    EXPECT_EQ(Trace(0).Items(1)->TimeStamp, 1000u + 1234);
    EXPECT_EQ(Trace(0).Items(2)->TimeStamp, 1000u);
    EXPECT_TRUE(Trace(0).Items(2)->IsStandard);
    // The adapter's length byte passes through unchanged.
    EXPECT_EQ(Trace(0).Items(3)->Len, 12);

    TCorvexTable& table = *FAdapter->GetFrameTable(0);
    ASSERT_EQ(table.Count(), 3);
    TCorvexTableItem row(0, true, false);
    ASSERT_TRUE(table.ReadItem(2, row));
    EXPECT_EQ(row.Id, 0x1ABCDEu);
    EXPECT_EQ(row.Count, 2);
    EXPECT_EQ(row.Period, 1234);
}

TEST_F(ZlgThreadsTest, CountAboveTheCapacityIsClampedAndNegativeCountsAreNoFrames) {
    std::vector<VciCanFrame> full;
    for (uint32_t i = 0; i < TZlgThreadRead::ReceiveCapacity; ++i) {
        full.push_back(MakeRecord(i, false, false, 0, i * 10));
    }
    FVci.QueueBatch(full, 100);
    FVci.QueueBatch({MakeRecord(0x500, false, false, 0, 0)}, -1);
    FVci.QueueBatch({MakeRecord(0x501, false, false, 0, 0)});
    ASSERT_TRUE(FAdapter->OpenChannel(1));
    ASSERT_TRUE(WaitUntil([&] { return Trace(1).Count() == 49; }));
    ASSERT_TRUE(WaitUntil([&] { return FVci.BatchesTaken(); }));
    FAdapter->CloseChannel(1);
    EXPECT_EQ(Trace(1).Count(), 49);
    EXPECT_EQ(Trace(1).Items(47)->Id, 47u);
    EXPECT_EQ(Trace(1).Items(48)->Id, 0x501u);
}

TEST_F(ZlgThreadsTest, RemoteFrameSendsOnlyTheSwitchedOnOnRequestItems) {
    TCanSendList& list = *FAdapter->GetSendList(0);
    AddItem(list, TCanSendType::OnRequest, true, 0x100);
    AddItem(list, TCanSendType::OnRequest, false, 0x101);
    AddItem(list, TCanSendType::Periodic, true, 0x102);
    AddItem(list, TCanSendType::Single, true, 0x103);
    AddItem(list, TCanSendType::OnRequest, true, 0x104);

    FVci.QueueBatch({MakeRecord(0x222, false, false, 1, 10)});
    FVci.QueueBatch({MakeRecord(0x7AB, true, true, 0, 20)});
    ASSERT_TRUE(FAdapter->OpenChannel(0));
    ASSERT_TRUE(WaitUntil([&] { return FVci.TransmittedCopy().size() >= 2; }));
    // A marker queued now goes out after anything the two received frames set
    // off, so once it is out nothing more can follow.
    TCanFrame marker;
    marker.Id = 0x7EE;
    FAdapter->Manager().GetChannel(0)->SendFrame(marker);
    ASSERT_TRUE(WaitUntil([&] {
        const auto sent = FVci.TransmittedCopy();
        return !sent.empty() && sent.back().Record.canId == 0x7EEu;
    }));
    FAdapter->CloseChannel(0);

    const auto sent = FVci.TransmittedCopy();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].Record.canId, 0x100u);
    EXPECT_EQ(sent[1].Record.canId, 0x104u);
    EXPECT_EQ(sent[0].Channel, 0u);
    EXPECT_EQ(list.Items(0)->Count, 1);
    EXPECT_EQ(list.Items(1)->Count, 0);
    EXPECT_EQ(list.Items(2)->Count, 0);
    EXPECT_EQ(list.Items(3)->Count, 0);
}

TEST_F(ZlgThreadsTest, SendThreadTransmitsInOrderAndTracesOnlyAcceptedFrames) {
    ASSERT_TRUE(FAdapter->OpenChannel(1));
    FakeTick.Set(4242);
    TCanFrame frame;
    frame.Id = 0x1FFFFFFF;
    frame.Len = 0x10A; // only the low byte goes to the adapter
    frame.IsRemote = true;
    frame.IsStandard = false;
    frame.Data = {1, 2, 3, 4, 5, 6, 7, 8};
    FAdapter->Manager().GetChannel(1)->SendFrame(frame);
    frame.Id = 0x7FF;
    frame.Len = 3;
    frame.IsRemote = false;
    frame.IsStandard = true;
    FAdapter->Manager().GetChannel(1)->SendFrame(frame);
    ASSERT_TRUE(WaitUntil([&] { return Trace(1).Count() == 2; }));

    FVci.TransmitResult = 0;
    frame.Id = 0x555;
    FAdapter->Manager().GetChannel(1)->SendFrame(frame);
    ASSERT_TRUE(WaitUntil([&] { return FVci.TransmittedCopy().size() == 3; }));
    FAdapter->CloseChannel(1);

    const auto sent = FVci.TransmittedCopy();
    EXPECT_EQ(sent[0].Channel, 1u);
    EXPECT_EQ(sent[0].Record.canId, 0x1FFFFFFFu);
    EXPECT_EQ(sent[0].Record.length, 0x0A);
    EXPECT_EQ(sent[0].Record.isRemote, 1);
    EXPECT_EQ(sent[0].Record.isExtended, 1);
    EXPECT_EQ(sent[0].Record.transmitMode, 0);
    EXPECT_EQ(sent[0].Record.payload[7], 8);
    EXPECT_EQ(sent[1].Record.canId, 0x7FFu);
    EXPECT_EQ(sent[1].Record.isExtended, 0);
    EXPECT_EQ(sent[1].Record.isRemote, 0);

    ASSERT_EQ(Trace(1).Count(), 2);
    EXPECT_TRUE(Trace(1).Items(0)->IsOutgoing);
    EXPECT_EQ(Trace(1).Items(0)->TimeStamp, 4242u);
    EXPECT_EQ(Trace(1).Items(1)->Id, 0x7FFu);
    // Transmitted frames do not enter the frame table.
    EXPECT_EQ(FAdapter->GetFrameTable(1)->Count(), 0);
}

TEST_F(ZlgThreadsTest, FramesQueuedWhileClosedAreDiscardedAtOpening) {
    TCanFrame frame;
    frame.Id = 0x321;
    FAdapter->Manager().GetChannel(0)->SendFrame(frame);
    FAdapter->Manager().GetChannel(0)->SendFrame(frame);
    EXPECT_EQ(FAdapter->Manager().GetChannel(0)->SendQueue().Count(), 2u);
    ASSERT_TRUE(FAdapter->OpenChannel(0));
    frame.Id = 0x322;
    FAdapter->Manager().GetChannel(0)->SendFrame(frame);
    ASSERT_TRUE(WaitUntil([&] { return Trace(0).Count() == 1; }));
    FAdapter->CloseChannel(0);
    const auto sent = FVci.TransmittedCopy();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Record.canId, 0x322u);
}

TEST_F(ZlgThreadsTest, FrameTableRequestsAreCarriedOutByTheReceiveThread) {
    FVci.QueueBatch({MakeRecord(0x10, false, false, 0, 0)});
    TCorvexTable& table = *FAdapter->GetFrameTable(1);
    ASSERT_TRUE(FAdapter->OpenChannel(1));
    ASSERT_TRUE(WaitUntil([&] { return table.Count() == 1; }));
    table.RequestClear();
    // No frames arrive any more, yet every poll carries the request out.
    ASSERT_TRUE(WaitUntil([&] { return !table.ClearPending.load(); }));
    EXPECT_EQ(table.Count(), 0);
    FAdapter->CloseChannel(1);
}

TEST_F(ZlgThreadsTest, ManyProducersReachTheSendThreadInTheirOwnOrder) {
    constexpr uint32_t Producers = 3;
    constexpr uint32_t PerProducer = 3000;
    ASSERT_TRUE(FAdapter->OpenChannel(0));
    TChannelManager& channel = *FAdapter->Manager().GetChannel(0);
    std::vector<std::thread> producers;
    for (uint32_t p = 0; p < Producers; ++p) {
        producers.emplace_back([&channel, p] {
            TCanFrame frame;
            for (uint32_t seq = 0; seq < PerProducer; ++seq) {
                frame.Id = (p << 16) | seq;
                channel.SendFrame(frame);
            }
        });
    }
    for (std::thread& producer : producers) {
        producer.join();
    }
    ASSERT_TRUE(WaitUntil([&] { return Trace(0).Count() == int(Producers * PerProducer); }));
    FAdapter->CloseChannel(0);

    std::vector<uint32_t> next(Producers, 0);
    for (const auto& sent : FVci.TransmittedCopy()) {
        const uint32_t producer = sent.Record.canId >> 16;
        ASSERT_LT(producer, Producers);
        EXPECT_EQ(sent.Record.canId & 0xFFFF, next[producer]);
        ++next[producer];
    }
    EXPECT_EQ(next, std::vector<uint32_t>(Producers, PerProducer));
}

} // namespace
