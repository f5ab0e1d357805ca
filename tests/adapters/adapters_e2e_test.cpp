// The ZLG adapter end to end: the real library against one virtual adapter
// whose two channels share one bus. The library's device table is
// process-wide and the adapter keeps the device open, so this whole binary
// talks to one emulator; each test makes its own adapter and its own
// identifiers, so frames left over from an earlier test cannot be mistaken
// for its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "adapters/zlg_adapter.h"
#include "e2e_helpers.h"
#include "emu_process.h"
#include "fake_ticks.h"
#include "model/can_settings.h"
#include "platform/tick_count.h"
#include "test_files.h"
#include "transmit/periodic_send_thread.h"
#include "transmit/send_list.h"
#include "views/frame_table.h"
#include "wait_until.h"

using tessel::test::WaitUntil;

namespace {

class EmulatorEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        FDir.emplace();
        FEmu.emplace(*FDir, "adapters-e2e");
    }
    void TearDown() override {
        FEmu.reset();
        FDir.reset();
    }

private:
    std::optional<tessel::test::DeviceDir> FDir;
    std::optional<tessel::test::EmuProcess> FEmu;
};

const auto* const Environment = ::testing::AddGlobalTestEnvironment(new EmulatorEnvironment);

TCanFrame MakeFrame(uint32_t id, bool standard, uint32_t len, uint8_t first = 0) {
    TCanFrame frame;
    frame.Id = id;
    frame.IsStandard = standard;
    frame.Len = len;
    for (uint8_t i = 0; i < 8; ++i) {
        frame.Data[i] = static_cast<uint8_t>(first + i);
    }
    return frame;
}

void AddItem(TCanSendList& list, TCanSendType type, bool enabled, uint32_t id, int32_t period = 0) {
    auto item = std::make_unique<TCanSendItem>();
    item->SendType = type;
    item->Enabled = enabled;
    item->SetPeriod(period);
    item->Frame.Id = id;
    item->Frame.IsStandard = true;
    item->Frame.Len = 2;
    list.Add(std::move(item));
}

class AdapterE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTransmitLists();
        FAdapter = std::make_unique<CAdapterZlg>();
        for (int i = 0; i < 2; ++i) {
            FAdapter->GetSettings(i)->Rate = 1000000;
        }
    }
    void TearDown() override {
        FAdapter->CloseChannel(0);
        FAdapter->CloseChannel(1);
        FAdapter.reset();
        RemoveTransmitLists();
    }

    void OpenBoth() {
        ASSERT_TRUE(FAdapter->OpenChannel(0)) << FAdapter->GetLastError();
        ASSERT_TRUE(FAdapter->OpenChannel(1)) << FAdapter->GetLastError();
    }
    void Send(int channel, const TCanFrame& frame) {
        FAdapter->Manager().GetChannel(channel)->SendFrame(frame);
    }
    TCorvexTraceList& Trace(int channel) { return *FAdapter->GetTraceList(channel); }
    TCanSendList& List(int channel) { return *FAdapter->GetSendList(channel); }

    std::unique_ptr<CAdapterZlg> FAdapter;
};

TEST_F(AdapterE2eTest, FramesCrossTheBusIntoTraceAndTableBothWays) {
    OpenBoth();
    EXPECT_TRUE(FAdapter->IsAnyChannelOpen());
    const uint32_t ids[] = {0x101, 0x102, 0x103};
    for (int i = 0; i < 300; ++i) {
        Send(0, MakeFrame(ids[i % 3], true, 8, static_cast<uint8_t>(i)));
    }
    for (int i = 0; i < 50; ++i) {
        Send(1, MakeFrame(0x1234567, false, 3, static_cast<uint8_t>(i)));
    }
    auto isOurs = [](const TCorvexTraceItem& item) {
        return item.Id == 0x101 || item.Id == 0x102 || item.Id == 0x103;
    };
    ASSERT_TRUE(WaitUntil([&] { return CountEntries(Trace(1), false, isOurs) == 300; }));
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(0), false, 0x1234567) == 50; }));
    ASSERT_TRUE(WaitUntil([&] { return CountEntries(Trace(0), true, isOurs) == 300; }));
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(1), true, 0x1234567) == 50; }));

    // Received in the order sent, with their data.
    int next = 0;
    for (int i = 0; i < Trace(1).Count(); ++i) {
        const TCorvexTraceItem& item = *Trace(1).Items(i);
        if (item.IsOutgoing || !isOurs(item)) {
            continue;
        }
        ASSERT_EQ(item.Id, ids[next % 3]) << next;
        EXPECT_EQ(item.Data[0], static_cast<uint8_t>(next));
        EXPECT_EQ(item.Len, 8);
        EXPECT_TRUE(item.IsStandard);
        ++next;
    }

    // The receive thread updates the table right after the trace; wait for the
    // last update before reading the rows.
    TCorvexTable& table = *FAdapter->GetFrameTable(1);
    const auto countOf = [](TCorvexTable& t, uint32_t id) {
        for (int i = 0; i < t.Count(); ++i) {
            TCorvexTableItem row(0, true, false);
            if (t.ReadItem(i, row) && row.Id == id)
                return static_cast<int>(row.Count);
        }
        return 0;
    };
    ASSERT_TRUE(WaitUntil([&] { return countOf(table, 0x103) == 100; }));
    ASSERT_TRUE(WaitUntil([&] { return countOf(*FAdapter->GetFrameTable(0), 0x1234567) == 50; }));
    for (int i = 0; i < table.Count(); ++i) {
        TCorvexTableItem row(0, true, false);
        ASSERT_TRUE(table.ReadItem(i, row));
        if (row.Id >= 0x101 && row.Id <= 0x103) {
            EXPECT_EQ(row.Count, 100) << row.Id;
            EXPECT_TRUE(row.IsStandard);
        }
    }
    bool extendedRow = false;
    TCorvexTable& table0 = *FAdapter->GetFrameTable(0);
    for (int i = 0; i < table0.Count(); ++i) {
        TCorvexTableItem row(0, true, false);
        ASSERT_TRUE(table0.ReadItem(i, row));
        if (row.Id == 0x1234567) {
            extendedRow = true;
            EXPECT_FALSE(row.IsStandard);
            EXPECT_EQ(row.Count, 50);
            EXPECT_EQ(row.Len, 3);
        }
    }
    EXPECT_TRUE(extendedRow);
}

TEST_F(AdapterE2eTest, RemoteFrameTriggersOnlySwitchedOnOnRequestItems) {
    AddItem(List(1), TCanSendType::OnRequest, true, 0x2A0);
    AddItem(List(1), TCanSendType::OnRequest, false, 0x2A1);
    AddItem(List(1), TCanSendType::Periodic, true, 0x2A2, 10);
    AddItem(List(1), TCanSendType::Single, true, 0x2A3);
    AddItem(List(1), TCanSendType::OnRequest, true, 0x2A4);
    OpenBoth();
    auto answers = [](const TCorvexTraceItem& item) {
        return item.Id >= 0x2A0 && item.Id <= 0x2A4;
    };

    // A data frame answers nothing.
    Send(0, MakeFrame(0x2B0, true, 1));
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(1), false, 0x2B0) == 1; }));

    TCanFrame request = MakeFrame(0x2B1, true, 0);
    request.IsRemote = true;
    Send(0, request);
    ASSERT_TRUE(WaitUntil([&] { return CountEntries(Trace(0), false, answers) >= 2; }));
    // Channel 1 queues a marker behind anything the request set off; once it
    // has crossed the bus, no further answer can follow.
    Send(1, MakeFrame(0x2BF, true, 0));
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(0), false, 0x2BF) == 1; }));

    EXPECT_EQ(CountEntries(Trace(0), false, answers), 2);
    EXPECT_EQ(CountId(Trace(0), false, 0x2A0), 1);
    EXPECT_EQ(CountId(Trace(0), false, 0x2A4), 1);
    EXPECT_EQ(CountEntries(Trace(1), true, answers), 2);
    EXPECT_EQ(CountEntries(
                  Trace(1), false,
                  [](const TCorvexTraceItem& item) { return item.Id == 0x2B1 && item.IsRemote; }),
              1);
}

TEST_F(AdapterE2eTest, PeriodicItemGoesOutWhileOpenAndNotWhileClosed) {
    constexpr uint32_t PeriodicId = 0x3C0;
    AddItem(List(0), TCanSendType::Periodic, true, PeriodicId, 10);
    TPeriodicSendThread periodic(&List(0), true);
    OpenBoth();
    periodic.Resume();

    // It goes out again and again while the channel is open; how evenly is
    // measured by the periodic send benchmark.
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(1), false, PeriodicId) >= 10; }));

    // Closed, nothing reaches the bus, even with the sweeps still running.
    // Once everything channel 0 sent has arrived, the counts must stay.
    FAdapter->CloseChannel(0);
    const int outgoingAfterClose = CountId(Trace(0), true, PeriodicId);
    ASSERT_TRUE(
        WaitUntil([&] { return CountId(Trace(1), false, PeriodicId) == outgoingAfterClose; }));
    const int afterClose = CountId(Trace(1), false, PeriodicId);
    const int sweptAfterClose = List(0).Items(0)->Count;
    ASSERT_TRUE(WaitUntil([&] { return List(0).Items(0)->Count >= sweptAfterClose + 5; }));
    EXPECT_EQ(CountId(Trace(1), false, PeriodicId), afterClose);
    EXPECT_EQ(CountId(Trace(0), true, PeriodicId), outgoingAfterClose);
    periodic.Suspend();
    periodic.Terminate();
}

TEST_F(AdapterE2eTest, ReopeningDiscardsQueuedFramesAndTakesANewTimeBase) {
    // The host tick stands still; a received frame's stamp is the tick at the
    // first frame after opening plus the adapter's time since then, which
    // stays far below ten minutes here.
    tessel::test::FakeTicks ticks(5000000);
    const auto stampFrom = [&](uint32_t stamp) { return stamp - ticks.Now() < 600000u; };
    OpenBoth();
    Send(1, MakeFrame(0x4D0, true, 1));
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(0), false, 0x4D0) == 1; }));
    EXPECT_TRUE(stampFrom(Trace(0).Items(Trace(0).Count() - 1)->TimeStamp));

    FAdapter->CloseChannel(0);
    EXPECT_FALSE(FAdapter->IsChannelOpen(0));
    // The host's scale jumps while the channel is closed; only a new time
    // base follows it.
    ticks.Set(105000000);
    for (int i = 0; i < 10; ++i) {
        Send(0, MakeFrame(0x4D1, true, 1));
    }
    ASSERT_TRUE(FAdapter->OpenChannel(0)) << FAdapter->GetLastError();
    Send(0, MakeFrame(0x4D2, true, 1));
    // 0x4D2 was queued after the reopening, behind anything left from before.
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(1), false, 0x4D2) == 1; }));
    EXPECT_EQ(CountId(Trace(1), false, 0x4D1), 0);
    EXPECT_EQ(CountId(Trace(0), true, 0x4D1), 0);

    Send(1, MakeFrame(0x4D3, true, 1));
    ASSERT_TRUE(WaitUntil([&] { return CountId(Trace(0), false, 0x4D3) == 1; }));
    for (int i = 0; i < Trace(0).Count(); ++i) {
        const TCorvexTraceItem& item = *Trace(0).Items(i);
        if (item.Id == 0x4D3) {
            EXPECT_TRUE(stampFrom(item.TimeStamp)) << item.TimeStamp;
        }
    }
}

TEST_F(AdapterE2eTest, RatesBelowTheLibrarysRangeFailAtInitialisation) {
    for (int32_t rate : {5000, 10000}) {
        FAdapter->GetSettings(0)->Rate = rate;
        EXPECT_FALSE(FAdapter->OpenChannel(0)) << rate;
        EXPECT_EQ(FAdapter->GetLastError(), "Channel initialization is failed");
        EXPECT_FALSE(FAdapter->IsChannelOpen(0));
    }
    // The device stays open and the channel opens at a rate the library takes.
    FAdapter->GetSettings(0)->Rate = 20000;
    EXPECT_TRUE(FAdapter->OpenChannel(0)) << FAdapter->GetLastError();
}

} // namespace
