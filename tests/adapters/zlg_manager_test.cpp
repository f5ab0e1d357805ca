#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <string>

#include "adapters/zlg_adapter.h"
#include "fake_vci.h"
#include "model/can_settings.h"
#include "model/logger.h"
#include "test_files.h"
#include "wait_until.h"

using tessel::test::WaitUntil;

namespace {

class ZlgManagerTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveTransmitLists(); }
    void TearDown() override { RemoveTransmitLists(); }

    TFakeVci FVci;
};

TEST_F(ZlgManagerTest, IndexOutOfRangeFailsWithoutTouchingTheDevice) {
    CAdapterZlg adapter(FVci);
    for (int index : {-1, 2}) {
        EXPECT_FALSE(adapter.OpenChannel(index));
        EXPECT_EQ(adapter.GetLastError(), "Channel index is out of range");
    }
    EXPECT_EQ(FVci.OpenCalls, 0);
}

TEST_F(ZlgManagerTest, DeviceAnsweringAllOnesIsNotFound) {
    FVci.OpenResult = -1;
    CAdapterZlg adapter(FVci);
    EXPECT_FALSE(adapter.OpenChannel(0));
    EXPECT_EQ(adapter.GetLastError(), "Device not found");
    EXPECT_FALSE(adapter.IsChannelOpen(0));
    EXPECT_EQ(FVci.InitCalls, 0);
}

TEST_F(ZlgManagerTest, OtherOpenResultsFailAndTheNextAttemptTriesAgain) {
    CAdapterZlg adapter(FVci);
    for (int32_t result : {0, 2, -2}) {
        FVci.OpenResult = result;
        EXPECT_FALSE(adapter.OpenChannel(1));
        EXPECT_EQ(adapter.GetLastError(), "Opening device if failed") << result;
    }
    EXPECT_EQ(FVci.OpenCalls, 3);
    EXPECT_EQ(FVci.LastDevType, 4u);
    EXPECT_EQ(FVci.LastDevIndex, 0u);
    EXPECT_EQ(FVci.LastReserved, 0u);
    EXPECT_EQ(FVci.InitCalls, 0);
}

TEST_F(ZlgManagerTest, InitFailureLeavesTheDeviceOpenAndTheChannelClosed) {
    CAdapterZlg adapter(FVci);
    FVci.InitResult = 0;
    EXPECT_FALSE(adapter.OpenChannel(0));
    EXPECT_EQ(adapter.GetLastError(), "Channel initialization is failed");
    FVci.InitResult = -1;
    EXPECT_FALSE(adapter.OpenChannel(0));
    EXPECT_EQ(adapter.GetLastError(), "Channel initialization is failed");
    EXPECT_FALSE(adapter.IsChannelOpen(0));
    // Each failure opened the device afresh once and tried again, in case the
    // adapter had gone and come back; it is left open.
    EXPECT_EQ(FVci.OpenCalls, 3);
    EXPECT_EQ(FVci.CloseCalls, 2);
    EXPECT_EQ(FVci.StartCalls, 0);
    EXPECT_EQ(FVci.ReceiveCalls, 0);
}

TEST_F(ZlgManagerTest, StartFailureLeavesTheChannelClosedWithoutThreads) {
    CAdapterZlg adapter(FVci);
    FVci.StartResult = 0;
    EXPECT_FALSE(adapter.OpenChannel(1));
    EXPECT_EQ(adapter.GetLastError(), "Channel start is failed");
    EXPECT_FALSE(adapter.IsChannelOpen(1));
    EXPECT_EQ(FVci.ReceiveCalls, 0);
    EXPECT_TRUE(adapter.GetLogger(1)->IsEmpty());
}

TEST_F(ZlgManagerTest, InitRecordCarriesTheChannelsTimingAndOpenFilter) {
    CAdapterZlg adapter(FVci);
    adapter.GetSettings(1)->Rate = 500000;
    adapter.GetSettings(1)->Mode = TCanMode::Extended;
    ASSERT_TRUE(adapter.OpenChannel(1));
    const VciInitConfig config = FVci.LastConfigCopy();
    EXPECT_EQ(FVci.LastInitChannel, 1u);
    EXPECT_EQ(config.acceptCode, 0u);
    EXPECT_EQ(config.acceptMask, 0xFFFFFFFFu);
    EXPECT_EQ(config.busMode, 0);
    EXPECT_EQ(config.filterKind, 1);
    EXPECT_EQ(config.btr0, 0x00);
    EXPECT_EQ(config.btr1, 0x1C);
    adapter.CloseChannel(1);
}

TEST_F(ZlgManagerTest, RateOutsideTheTableIsInitialisedWithZeroTiming) {
    CAdapterZlg adapter(FVci);
    adapter.GetSettings(0)->Rate = 33333;
    ASSERT_TRUE(adapter.OpenChannel(0));
    EXPECT_EQ(FVci.LastConfigCopy().btr0, 0x00);
    EXPECT_EQ(FVci.LastConfigCopy().btr1, 0x00);
    adapter.CloseChannel(0);
}

TEST_F(ZlgManagerTest, OpeningTwiceStartsNoFurtherThreads) {
    CAdapterZlg adapter(FVci);
    ASSERT_TRUE(adapter.OpenChannel(0));
    ASSERT_TRUE(adapter.OpenChannel(0));
    EXPECT_EQ(FVci.InitCalls, 1);
    EXPECT_EQ(FVci.OpenCalls, 1);
    EXPECT_TRUE(adapter.IsChannelOpen(0));
    EXPECT_FALSE(adapter.IsChannelOpen(1));
    EXPECT_TRUE(adapter.IsAnyChannelOpen());
    adapter.CloseChannel(0);
    std::string line;
    int starts = 0;
    while (adapter.GetLogger(0)->Pop(line)) {
        starts += line == "** TZlgThreadRead start" ? 1 : 0;
    }
    EXPECT_EQ(starts, 1);
}

// A library that fails every call at once: the thread keeps polling (with a
// pause after each failure, so it does not spin) and the channel still closes.
TEST_F(ZlgManagerTest, ALibraryFailingAtOnceKeepsPollingAndTheChannelStillCloses) {
    FVci.ReceiveFailsAtOnce = true;
    CAdapterZlg adapter(FVci);
    ASSERT_TRUE(adapter.OpenChannel(0));
    ASSERT_TRUE(WaitUntil([&] { return FVci.ReceiveCalls >= 20; }));
    adapter.CloseChannel(0);
    EXPECT_FALSE(adapter.IsChannelOpen(0));
    const int callsAfterClose = FVci.ReceiveCalls;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(FVci.ReceiveCalls, callsAfterClose);
}

TEST_F(ZlgManagerTest, CloseStopsTheThreadsAndReopenStartsNewOnes) {
    CAdapterZlg adapter(FVci);
    ASSERT_TRUE(adapter.OpenChannel(1));
    ASSERT_TRUE(WaitUntil([&] { return FVci.ReceiveCalls > 0; }));
    adapter.CloseChannel(1);
    EXPECT_FALSE(adapter.IsChannelOpen(1));
    const int callsAfterClose = FVci.ReceiveCalls;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(FVci.ReceiveCalls, callsAfterClose);

    ASSERT_TRUE(adapter.OpenChannel(1));
    EXPECT_EQ(FVci.OpenCalls, 1);
    EXPECT_EQ(FVci.InitCalls, 2);
    adapter.CloseChannel(1);

    std::vector<std::string> lines;
    std::string line;
    while (adapter.GetLogger(1)->Pop(line)) {
        lines.push_back(line);
    }
    const std::vector<std::string> expected{"** TZlgThreadRead start", "** TZlgThreadRead finish",
                                            "** TZlgThreadRead start", "** TZlgThreadRead finish"};
    EXPECT_EQ(lines, expected);
}

std::vector<std::string> LogLines(CAdapterZlg& adapter, int channel) {
    std::vector<std::string> lines;
    std::string line;
    while (adapter.GetLogger(channel)->Pop(line)) {
        lines.push_back(line);
    }
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(ZlgManagerTest, LostAdapterIsReportedAndOpeningAgainOpensTheDeviceAfresh) {
    CAdapterZlg adapter(FVci);
    ASSERT_TRUE(adapter.OpenChannel(0));
    ASSERT_TRUE(adapter.OpenChannel(1));
    EXPECT_EQ(adapter.GetChannelFault(0), "");
    FVci.ReceiveFailsAtOnce = true;
    ASSERT_TRUE(WaitUntil([&] {
        return adapter.GetChannelFault(0) == "Adapter lost" &&
               adapter.GetChannelFault(1) == "Adapter lost";
    }));
    EXPECT_TRUE(adapter.IsChannelOpen(0)) << "the channel stays open until closed";
    EXPECT_TRUE(Contains(LogLines(adapter, 0), "** Adapter lost: receiving fails"));

    adapter.CloseChannel(0);
    EXPECT_EQ(adapter.GetChannelFault(0), "");
    // Channel 1 still reports the device lost when channel 0 opens again.
    ASSERT_TRUE(adapter.OpenChannel(0));
    FVci.ReceiveFailsAtOnce = false;
    EXPECT_EQ(FVci.CloseCalls, 1);
    EXPECT_EQ(FVci.OpenCalls, 2);
    // Channel 1 sat on the lost device too: it was started again with it.
    EXPECT_TRUE(adapter.IsChannelOpen(1));
    EXPECT_EQ(FVci.StartCalls, 4);
    EXPECT_TRUE(Contains(LogLines(adapter, 1), "** Channel reopened with the adapter"));
    EXPECT_TRUE(WaitUntil(
        [&] { return adapter.GetChannelFault(0).empty() && adapter.GetChannelFault(1).empty(); }));
}

TEST_F(ZlgManagerTest, WorkingChannelKeepsTheDeviceWhenAnotherFailsToOpen) {
    CAdapterZlg adapter(FVci);
    ASSERT_TRUE(adapter.OpenChannel(1));
    FVci.InitResult = 0;
    EXPECT_FALSE(adapter.OpenChannel(0));
    EXPECT_EQ(adapter.GetLastError(), "Channel initialization is failed");
    EXPECT_EQ(FVci.CloseCalls, 0);
    EXPECT_TRUE(adapter.IsChannelOpen(1));
}

TEST_F(ZlgManagerTest, ExceptionInAChannelThreadIsReportedAndTheChannelFailed) {
    CAdapterZlg adapter(FVci);
    FVci.ReceiveThrows = true;
    ASSERT_TRUE(adapter.OpenChannel(0));
    ASSERT_TRUE(WaitUntil([&] { return adapter.GetChannelFault(0) == "Channel failed"; }));
    EXPECT_TRUE(Contains(LogLines(adapter, 0), "** Channel thread failed: scripted receive fault"));
    adapter.CloseChannel(0);
    EXPECT_FALSE(adapter.IsChannelOpen(0));
    FVci.ReceiveThrows = false;
    ASSERT_TRUE(adapter.OpenChannel(0));
    const int calls = FVci.ReceiveCalls;
    ASSERT_TRUE(WaitUntil([&] { return FVci.ReceiveCalls > calls; }));
    EXPECT_EQ(adapter.GetChannelFault(0), "");
}

TEST_F(ZlgManagerTest, AnOpenChannelReportsItsControllerAndTotals) {
    VciCanStatus status{};
    status.statusCode = 0x80;
    status.registerImage[1] = 255;
    FVci.SetStatus(status);
    VciCanFrame record{};
    record.canId = 0x123;
    record.length = 8;
    FVci.QueueBatch({record, record, record});
    CAdapterZlg adapter(FVci);
    EXPECT_FALSE(adapter.GetControllerStatus(0).Valid) << "closed";
    ASSERT_TRUE(adapter.OpenChannel(0));
    ASSERT_TRUE(WaitUntil([&] { return adapter.GetControllerStatus(0).Valid; }));
    EXPECT_EQ(adapter.GetControllerStatus(0).State, TControllerState::BusOff);
    EXPECT_EQ(adapter.GetControllerStatus(0).TransmitErrors, 255);
    ASSERT_TRUE(WaitUntil([&] { return adapter.GetBusCounters(0)->Snapshot().Received == 3; }));
    EXPECT_EQ(adapter.GetBusCounters(0)->Snapshot().Bits, 3u * 135u) << "standard, 8 bytes";

    // The send thread counts what the library took.
    TCanFrame frame;
    frame.IsStandard = true;
    adapter.Manager().GetChannel(0)->SendFrame(frame);
    ASSERT_TRUE(WaitUntil([&] { return adapter.GetBusCounters(0)->Snapshot().Sent == 1; }));
    EXPECT_EQ(adapter.GetBusCounters(0)->Snapshot().Bits, 3u * 135u + 55u);

    adapter.CloseChannel(0);
    EXPECT_FALSE(adapter.GetControllerStatus(0).Valid);
    ASSERT_TRUE(adapter.OpenChannel(0));
    EXPECT_EQ(adapter.GetBusCounters(0)->Snapshot().Received, 0u) << "totals start at opening";
    adapter.CloseChannel(0);
}

} // namespace
