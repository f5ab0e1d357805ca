#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/thread.h"

class TCanSendList;

// The clock of a channel's periodic transmit items: about once a millisecond
// it runs the periodic sweep of its transmit list, while not suspended.
// The thread starts at creation; created paused, it waits until Resume().
// Shared: the owner (window's thread) sets the list and suspends/resumes;
// the loop reads the list pointer atomically each pass, and the pause and
// stop requests live under FStateLock. A pause takes effect between two
// sweeps, never inside one, so the list's lock is never left held; the
// thread holds no lock while it sleeps or waits. Destruction stops the loop
// between sweeps and waits for it.
class TPeriodicSendThread final : public platform::TThread {
public:
    TPeriodicSendThread(TCanSendList* sendList, bool createPaused);
    ~TPeriodicSendThread() override;

    TCanSendList* SendList() const { return FSendList.load(); }
    // Takes effect at the next pass of the loop.
    void SetSendList(TCanSendList* sendList) { FSendList.store(sendList); }

    // Returns once the loop is outside any sweep; no periodic send happens
    // after it until Resume(). Not to be called from inside a sweep's handler.
    void Suspend();
    void Resume();
    bool IsSuspended() const;
    // Ends the loop between sweeps and waits for it (also done by destruction).
    void Terminate();

protected:
    void Execute() override;

private:
    // Waits while paused; false when the loop must end.
    bool WaitWhilePaused();
    bool SleepOneTick();

    std::atomic<TCanSendList*> FSendList;
    mutable std::mutex FStateLock;
    std::condition_variable FStateChanged;
    bool FPaused;             // guarded by FStateLock
    bool FTerminated = false; // guarded by FStateLock
    bool FInSweep = false;    // guarded by FStateLock
};
