#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "fake_ticks.h"
#include "test_support.h"
#include "transmit/periodic_send_thread.h"
#include "transmit/send_list.h"
#include "wait_until.h"

namespace {

using tessel::test::WaitUntil;

// A list with one switched-on periodic item whose sends are counted.
struct PeriodicList {
    TCanSendList List;
    std::atomic<int> Sent{0};

    explicit PeriodicList(std::int32_t period) {
        auto item = std::make_unique<TCanSendItem>();
        item->SendType = TCanSendType::Periodic;
        item->Enabled.store(true);
        item->Period = period;
        List.Add(std::move(item));
        List.SetOnSend([this](const TCanFrame&) { Sent.fetch_add(1); });
    }
};

} // namespace

// The fake clock stands still unless the test moves it, so every send below
// is caused by the test, never by the machine's timing.
TEST(PeriodicSendThread, SendsNothingWhilePausedAndCatchesUpOnceAfterResuming) {
    tessel::test::FakeTicks ticks(10000);
    PeriodicList periodic(1000);
    TPeriodicSendThread thread(&periodic.List, true);
    EXPECT_TRUE(thread.IsSuspended());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(periodic.Sent.load(), 0);

    thread.Resume();
    ASSERT_TRUE(WaitUntil([&] { return periodic.Sent.load() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(periodic.Sent.load(), 1); // period not over yet

    thread.Suspend();
    ticks.Set(30000); // long past the period
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(periodic.Sent.load(), 1);

    thread.Resume();
    ASSERT_TRUE(WaitUntil([&] { return periodic.Sent.load() == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(periodic.Sent.load(), 2); // once, no burst to catch up
}

TEST(PeriodicSendThread, SuspendReturnsWithTheListsLockFree) {
    PeriodicList periodic(1);
    TPeriodicSendThread thread(&periodic.List, false);
    ASSERT_TRUE(WaitUntil([&] { return periodic.Sent.load() > 0; }));
    for (int round = 0; round < 20; ++round) {
        thread.Suspend();
        const int sent = periodic.Sent.load();
        EXPECT_TRUE(periodic.List.Delete(0) || periodic.List.Count() == 0); // takes the lock
        periodic.List.Add(std::make_unique<TCanSendItem>());
        periodic.List.Items(periodic.List.Count() - 1)->SendType = TCanSendType::Periodic;
        periodic.List.Items(periodic.List.Count() - 1)->Enabled.store(true);
        EXPECT_EQ(periodic.Sent.load(), sent); // nothing sent while suspended
        thread.Resume();
    }
}

TEST(PeriodicSendThread, WithoutAListItOnlyTicksAndALaterListTakesEffect) {
    tessel::test::FakeTicks ticks(500);
    PeriodicList periodic(100);
    TPeriodicSendThread thread(nullptr, false);
    EXPECT_EQ(thread.SendList(), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(periodic.Sent.load(), 0);
    thread.SetSendList(&periodic.List);
    ASSERT_TRUE(WaitUntil([&] { return periodic.Sent.load() == 1; }));
    thread.SetSendList(nullptr);
    ticks.Set(5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(periodic.Sent.load(), 1);
}

TEST(PeriodicSendThread, StopsCleanlyWhetherRunningOrPaused) {
    PeriodicList periodic(1);
    { TPeriodicSendThread paused(&periodic.List, true); }
    auto running = std::make_unique<TPeriodicSendThread>(&periodic.List, false);
    ASSERT_TRUE(WaitUntil([&] { return periodic.Sent.load() > 0; }));
    running->Terminate();
    EXPECT_TRUE(running->Finished());
    const int sent = periodic.Sent.load();
    running.reset();
    EXPECT_EQ(periodic.Sent.load(), sent);
}
