#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "transmit/send_list.h"

namespace {

// Stands in for the channel's send queue: the handler only appends a copy.
struct Queue {
    std::mutex Lock;
    std::vector<TCanFrame> Frames;
    void Push(const TCanFrame& frame) {
        std::lock_guard<std::mutex> lock(Lock);
        Frames.push_back(frame);
    }
};

std::unique_ptr<TCanSendItem> MakeItem(std::uint32_t id, TCanSendType type) {
    auto item = std::make_unique<TCanSendItem>();
    item->Frame.Id = id;
    item->SendType = type;
    item->Enabled.store(true);
    item->Period = 0;
    return item;
}

} // namespace

// The periodic send thread and the receive thread sweep while the window's
// thread adds, moves, deletes, switches and resets items.
TEST(SendListStress, SweepsWhileItemsAreAddedMovedAndDeleted) {
    TCanSendList list;
    Queue queue;
    list.SetOnSend([&](const TCanFrame& frame) { queue.Push(frame); });
    std::atomic<bool> done{false};
    std::atomic<int> sweeps{0};

    std::thread periodic([&] {
        for (std::uint32_t now = 0; !done.load(); ++now) {
            list.SendPeriodic(now);
            sweeps.fetch_add(1);
        }
    });
    std::thread receive([&] {
        while (!done.load()) {
            list.SendOnRequest();
            std::this_thread::yield();
        }
    });

    std::uint32_t nextId = 1;
    // Enough rounds that both sweeps ran many times alongside the changes and
    // sent something, however the threads were scheduled; the deadline only
    // bounds a broken run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto queueEmpty = [&] {
        std::lock_guard<std::mutex> lock(queue.Lock);
        return queue.Frames.empty();
    };
    for (int round = 0; (round < 3000 || sweeps.load() < 5000 || queueEmpty()) &&
                        std::chrono::steady_clock::now() < deadline;
         ++round) {
        const TCanSendType type = round % 3 == 0 ? TCanSendType::OnRequest : TCanSendType::Periodic;
        list.Add(MakeItem(nextId++, type));
        if (list.Count() > 1) {
            list.MoveUp(list.Count() - 1);
            list.MoveDown(round % list.Count());
        }
        if (TCanSendItem* item = list.Items(round % list.Count()))
            item->Enabled.store(!item->Enabled.load());
        if (round % 5 == 0)
            list.ResetCounters();
        if (round % 7 == 0)
            list.SetStandard(round % 2 == 0);
        if (list.Count() > 20)
            list.Delete(round % list.Count());
        if (TCanSendItem* item = list.Items(0)) {
            auto lock = list.Lock(); // an in-place edit, as the item editor makes it
            item->Frame.Len = static_cast<std::uint32_t>(round % 9);
        }
    }
    done.store(true);
    periodic.join();
    receive.join();

    EXPECT_GE(sweeps.load(), 5000);
    std::lock_guard<std::mutex> lock(queue.Lock);
    EXPECT_FALSE(queue.Frames.empty());
    for (const TCanFrame& frame : queue.Frames)
        ASSERT_TRUE(frame.Id >= 1 && frame.Id < nextId);
}
