#include <atomic>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "platform/tick_count.h"

namespace {

// Runs until released; records that it ran and on which priority request.
class GatedThread : public platform::TThread {
public:
    ~GatedThread() override {
        Release();
        WaitForEnd();
    }
    void Release() { FReleased.store(true); }
    std::atomic<bool> Ran{false};

protected:
    void Execute() override {
        Ran.store(true);
        SetPriority(platform::TThreadPriority::AboveNormal); // best effort, must not fail
        while (!FReleased.load())
            platform::SleepMs(1);
    }

private:
    std::atomic<bool> FReleased{false};
};

class ThrowingThread : public platform::TThread {
public:
    ~ThrowingThread() override { WaitForEnd(); }

protected:
    void Execute() override { throw std::runtime_error("broken body"); }
};

} // namespace

TEST(Thread, CreatedSuspendedUntilStarted) {
    GatedThread thread;
    platform::SleepMs(20);
    EXPECT_FALSE(thread.Ran.load());
    EXPECT_FALSE(thread.Started());
    EXPECT_TRUE(thread.WaitFor(0)); // nothing runs, so nothing to wait for
    thread.Start();
    thread.Start(); // a second start does nothing
    EXPECT_TRUE(thread.Started());
    thread.Release();
    EXPECT_TRUE(thread.WaitFor(10000));
    EXPECT_TRUE(thread.Ran.load());
    EXPECT_TRUE(thread.Finished());
}

TEST(Thread, TimedWaitReportsATimeOutWhileTheBodyRuns) {
    GatedThread thread;
    thread.Start();
    EXPECT_FALSE(thread.WaitFor(30));
    EXPECT_FALSE(thread.Finished());
    thread.Release();
    EXPECT_TRUE(thread.WaitFor(10000));
    EXPECT_TRUE(thread.WaitFor(0)); // an ended thread answers at once
}

// The body uses nothing of its own object, so the base destructor alone
// must wait for it: when destruction returns, the body has finished.
class LingeringThread : public platform::TThread {
public:
    LingeringThread(std::atomic<bool>& entered, std::atomic<bool>& ended)
        : FEntered(entered), FEnded(ended) {}

protected:
    void Execute() override {
        FEntered.store(true);
        platform::SleepMs(50);
        FEnded.store(true);
    }

private:
    std::atomic<bool>& FEntered;
    std::atomic<bool>& FEnded;
};

TEST(Thread, DestructionWaitsForTheBody) {
    std::atomic<bool> entered{false};
    std::atomic<bool> ended{false};
    auto thread = std::make_unique<LingeringThread>(entered, ended);
    thread->Start();
    while (!entered.load())
        platform::SleepMs(1);
    thread.reset();
    EXPECT_TRUE(ended.load());
}

TEST(Thread, AnExceptionEndsOnlyTheThread) {
    ThrowingThread thread;
    thread.Start();
    EXPECT_TRUE(thread.WaitFor(10000));
    EXPECT_TRUE(thread.Finished());
}
