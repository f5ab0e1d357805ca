#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "adapters/channel_custom_thread.h"
#include "adapters/zlg_channel.h"
#include "test_files.h"
#include "transmit/send_list.h"
#include "wait_until.h"

namespace {

class ChannelManagerTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveTransmitLists(); }
    void TearDown() override { RemoveTransmitLists(); }
};

TEST_F(ChannelManagerTest, NamesTheTransmitListAndLoadsItsFile) {
    {
        std::ofstream out(TransmitListPath(1));
        out << "2;0;1;123;0;1;AB;Answer;\r\n";
    }
    TZlgChannel channel(1);
    EXPECT_EQ(channel.GetName(), "zlg_ch1");
    EXPECT_EQ(channel.SendList().Name, "zlg_ch1");
    ASSERT_EQ(channel.SendList().Count(), 1);
    EXPECT_EQ(channel.SendList().Items(0)->Caption, "Answer");
    EXPECT_TRUE(channel.Logger().IsEmpty());
    EXPECT_EQ(channel.Settings().Rate, 0);
}

TEST_F(ChannelManagerTest, ItemsSendThroughTheChannelsQueue) {
    TZlgChannel channel(0);
    auto item = std::make_unique<TCanSendItem>();
    item->Frame.Id = 0x42;
    channel.SendList().Add(std::move(item));
    channel.SendList().Items(0)->Send();
    channel.SendList().Items(0)->Frame.Id = 0x43;
    ASSERT_EQ(channel.SendQueue().Count(), 1u);
    TCanFrame out;
    ASSERT_TRUE(channel.SendQueue().Take(out, std::chrono::milliseconds(0)));
    EXPECT_EQ(out.Id, 0x42u);
}

TEST_F(ChannelManagerTest, DestructionWritesTheListFileEvenWhenUnchanged) {
    { TZlgChannel channel(0); }
    EXPECT_TRUE(std::filesystem::exists(TransmitListPath(0)));
    EXPECT_EQ(std::filesystem::file_size(TransmitListPath(0)), 0u);
}

TEST_F(ChannelManagerTest, UnusableListFileIsLoggedNotFatal) {
    // A folder where the file belongs can be neither read nor replaced.
    std::filesystem::create_directories(TransmitListPath(0));
    {
        TZlgChannel channel(0);
        EXPECT_EQ(channel.SendList().Count(), 0);
        std::string line;
        ASSERT_TRUE(channel.Logger().Pop(line));
        EXPECT_NE(line.find("trans_list_zlg_ch0.dat"), std::string::npos) << line;
    }
    EXPECT_TRUE(std::filesystem::is_directory(TransmitListPath(0)));
}

class TQuickThread final : public TChannelCustomThread {
public:
    ~TQuickThread() override { StopAndWaitForEnd(); }

protected:
    void Execute() override {}
};

// A loop that has ended needs no waiting: even a zero wait reports it stopped.
TEST(ChannelCustomThreadTest, StopOnAnEndedLoopReturnsAtOnce) {
    TQuickThread thread;
    thread.Start();
    ASSERT_TRUE(thread.WaitFor(30000));
    EXPECT_TRUE(thread.Stop(0));
}

// Loops until asked to stop, then lingers a little before it records that
// its body has ended, so a destructor that did not wait would be caught.
class TLoopingThread final : public TChannelCustomThread {
public:
    explicit TLoopingThread(std::atomic<bool>& ended) : FEnded(ended) {}
    ~TLoopingThread() override { StopAndWaitForEnd(); }
    std::atomic<int> Passes{0};

protected:
    void Execute() override {
        while (!StopRequested()) {
            ++Passes;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        FEnded.store(true);
    }

private:
    std::atomic<bool>& FEnded;
};

TEST(ChannelCustomThreadTest, StopEndsTheLoop) {
    std::atomic<bool> ended{false};
    TLoopingThread thread(ended);
    thread.Start();
    ASSERT_TRUE(tessel::test::WaitUntil([&] { return thread.Passes > 0; }));
    EXPECT_TRUE(thread.Stop(30000));
    EXPECT_TRUE(ended.load());
    EXPECT_TRUE(thread.Finished());
}

TEST(ChannelCustomThreadTest, DestructionStopsTheLoopAndWaitsForIt) {
    std::atomic<bool> ended{false};
    auto thread = std::make_unique<TLoopingThread>(ended);
    thread->Start();
    ASSERT_TRUE(tessel::test::WaitUntil([&] { return thread->Passes > 0; }));
    thread.reset(); // no Stop first
    EXPECT_TRUE(ended.load());
}

} // namespace
