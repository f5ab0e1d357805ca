#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "adapters/channel_custom_thread.h"
#include "adapters/zlg_channel.h"
#include "test_files.h"
#include "transmit/send_list.h"

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

TEST(ChannelCustomThreadTest, StopOnAnEndedLoopReturnsAtOnce) {
    TQuickThread thread;
    thread.Start();
    ASSERT_TRUE(thread.WaitFor(30000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(thread.Stop(500));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

class TLoopingThread final : public TChannelCustomThread {
public:
    ~TLoopingThread() override { StopAndWaitForEnd(); }
    std::atomic<int> Passes{0};

protected:
    void Execute() override {
        while (!StopRequested()) {
            ++Passes;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};

TEST(ChannelCustomThreadTest, StopEndsTheLoopAndDestructionWaitsForIt) {
    auto thread = std::make_unique<TLoopingThread>();
    thread->Start();
    while (thread->Passes == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(thread->Stop(30000));
    thread.reset();
}

} // namespace
