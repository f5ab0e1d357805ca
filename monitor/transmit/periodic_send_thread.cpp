#include "transmit/periodic_send_thread.h"

#include <chrono>

#include "platform/tick_count.h"
#include "transmit/send_list.h"

TPeriodicSendThread::TPeriodicSendThread(TCanSendList* sendList, bool createPaused)
    : FSendList(sendList), FPaused(createPaused) {
    Start();
}

TPeriodicSendThread::~TPeriodicSendThread() {
    Terminate();
}

void TPeriodicSendThread::Suspend() {
    std::unique_lock<std::mutex> lock(FStateLock);
    FPaused = true;
    FStateChanged.wait(lock, [this] { return !FInSweep; });
}

void TPeriodicSendThread::Resume() {
    std::lock_guard<std::mutex> lock(FStateLock);
    FPaused = false;
    FStateChanged.notify_all();
}

bool TPeriodicSendThread::IsSuspended() const {
    std::lock_guard<std::mutex> lock(FStateLock);
    return FPaused;
}

void TPeriodicSendThread::Terminate() {
    {
        std::lock_guard<std::mutex> lock(FStateLock);
        FTerminated = true;
        FStateChanged.notify_all();
    }
    WaitForEnd();
}

void TPeriodicSendThread::Execute() {
    while (WaitWhilePaused()) {
        if (TCanSendList* list = FSendList.load())
            list->SendPeriodic(platform::TickCount());
        if (!SleepOneTick())
            break;
    }
}

// Blocks while paused; on leaving, marks the coming sweep so that Suspend()
// can wait for its end. False when the loop must end.
bool TPeriodicSendThread::WaitWhilePaused() {
    std::unique_lock<std::mutex> lock(FStateLock);
    FInSweep = false;
    FStateChanged.notify_all();
    FStateChanged.wait(lock, [this] { return !FPaused || FTerminated; });
    FInSweep = !FTerminated;
    return !FTerminated;
}

// Sleeps one millisecond, holding no lock of the list; a stop request cuts
// the sleep short. False when the loop must end.
bool TPeriodicSendThread::SleepOneTick() {
    std::unique_lock<std::mutex> lock(FStateLock);
    FInSweep = false;
    FStateChanged.notify_all();
    return !FStateChanged.wait_for(lock, std::chrono::milliseconds(1),
                                   [this] { return FTerminated; });
}
