#include <gtest/gtest.h>

#include <chrono>

#include "adapters/send_queue.h"

namespace {

TEST(SendQueueTest, KeepsCopiesInArrivalOrder) {
    TSendQueue queue;
    TCanFrame frame;
    frame.Id = 1;
    frame.Data[0] = 0xAA;
    queue.Push(frame);
    frame.Id = 2;
    frame.Data[0] = 0xBB;
    queue.Push(frame);
    EXPECT_EQ(queue.Count(), 2u);

    TCanFrame out;
    ASSERT_TRUE(queue.Take(out, std::chrono::milliseconds(0)));
    EXPECT_EQ(out.Id, 1u);
    EXPECT_EQ(out.Data[0], 0xAA);
    ASSERT_TRUE(queue.Take(out, std::chrono::milliseconds(0)));
    EXPECT_EQ(out.Id, 2u);
    EXPECT_FALSE(queue.Take(out, std::chrono::milliseconds(1)));
}

TEST(SendQueueTest, ClearDiscardsEverything) {
    TSendQueue queue;
    TCanFrame frame;
    queue.Push(frame);
    queue.Push(frame);
    queue.Clear();
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_FALSE(queue.Take(frame, std::chrono::milliseconds(0)));
}

TEST(SendQueueTest, AWaitingTakeWakesForAPush) {
    TSendQueue queue;
    std::thread producer([&queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        TCanFrame frame;
        frame.Id = 7;
        queue.Push(frame);
    });
    TCanFrame out;
    const bool taken = queue.Take(out, std::chrono::seconds(30));
    producer.join();
    ASSERT_TRUE(taken);
    EXPECT_EQ(out.Id, 7u);
}

} // namespace
