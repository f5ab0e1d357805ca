#include "send_grid_relay.h"
#include "wait_until.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Plays the window's thread: waits for posted updates and, for each, starts
// the flush and reads every count, like the grid does.
class TFakeWindow {
public:
    static constexpr int kItems = 4;

    void Post() {
        std::lock_guard<std::mutex> guard(FLock);
        ++FPosted;
        FWake.notify_one();
    }

    // Runs until `stop` is set and no update is pending.
    void Run(TSendGridCountRelay& relay, const std::atomic<bool>& stop) {
        std::unique_lock<std::mutex> lock(FLock);
        for (;;) {
            FWake.wait_for(lock, std::chrono::milliseconds(5),
                           [&] { return FPosted > FHandled || stop.load(); });
            if (FPosted == FHandled) {
                if (stop.load())
                    return;
                continue;
            }
            FHandled = FPosted;
            lock.unlock();
            relay.BeginFlush();
            for (int k = 0; k < kItems; ++k)
                Shown[k] = Counts[k].load();
            ++Flushes;
            lock.lock();
        }
    }

    std::array<std::atomic<int>, kItems> Counts{};
    std::array<int, kItems> Shown{};
    int Flushes = 0;

private:
    std::mutex FLock;
    std::condition_variable FWake;
    long FPosted = 0;
    long FHandled = 0;
};

// Sending threads raise counts as fast as they can; once they stop, the
// window shows every final count, with far fewer updates than sends.
TEST(SendGridRelay, WindowEndsWithEveryFinalCount) {
    TFakeWindow window;
    TSendGridCountRelay relay([&] { window.Post(); });
    relay.SetChannel(1);
    constexpr int kSends = 20000;
    std::atomic<bool> stop{false};
    std::thread gui([&] { window.Run(relay, stop); });
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kSends; ++i) {
                const int item = (t + i) % TFakeWindow::kItems;
                window.Counts[item].fetch_add(1);
                relay.CountChanged((1 << 16) | item);
            }
        });
    for (std::thread& sender : senders)
        sender.join();
    stop = true;
    gui.join();
    int total = 0;
    for (int k = 0; k < TFakeWindow::kItems; ++k) {
        EXPECT_EQ(window.Shown[k], window.Counts[k].load()) << "item " << k;
        total += window.Shown[k];
    }
    EXPECT_EQ(total, 3 * kSends);
    EXPECT_GE(window.Flushes, 1);
}

TEST(SendGridRelay, ChangesOfAChannelNotShownPostNothing) {
    int posts = 0;
    TSendGridCountRelay relay([&] { ++posts; });
    relay.SetChannel(0);
    relay.CountChanged((1 << 16) | 3);
    relay.CountChanged((2 << 16) | 0);
    EXPECT_EQ(posts, 0);
    relay.CountChanged(3);
    relay.CountChanged(1);
    EXPECT_EQ(posts, 1); // one update covers both
    relay.BeginFlush();
    relay.CountChanged(1);
    EXPECT_EQ(posts, 2);
}

// Once Detach returns, no sending thread reaches the window any more, even
// while they keep sending.
TEST(SendGridRelay, NoPostAfterDetach) {
    std::atomic<bool> detached{false};
    std::atomic<int> postsAfterDetach{0};
    std::atomic<int> posts{0};
    TSendGridCountRelay relay([&] {
        ++posts;
        if (detached.load())
            ++postsAfterDetach;
    });
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (int t = 0; t < 2; ++t)
        senders.emplace_back([&] {
            while (!stop.load())
                relay.CountChanged(0);
        });
    // Flush until the senders have posted a few times, however slowly they start.
    const bool posted = tessel::test::WaitUntil([&] {
        relay.BeginFlush();
        return posts.load() >= 50;
    });
    relay.Detach();
    detached = true;
    for (int i = 0; i < 1000; ++i)
        relay.BeginFlush();
    stop = true;
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_TRUE(posted);
    EXPECT_EQ(postsAfterDetach.load(), 0);
}

} // namespace
