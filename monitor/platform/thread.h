#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

enum class TThreadPriority { Normal, AboveNormal };

// Base of the monitor's worker threads. A thread object is created suspended:
// no thread runs until Start(). Execute() is the thread's body.
//
// Destruction waits for the body to end, without a limit. Because the base
// destructor runs after the derived parts are gone, a derived class whose
// Execute() uses its own members must make the body end and call WaitForEnd()
// in its own destructor.
//
// Start, WaitFor and destruction are called by the owner thread; SetPriority
// by the owner before Start or by the worker itself; Finished() by any
// thread. The finished state is guarded by FStateLock, the priority is atomic.
class TThread {
public:
    TThread() = default;
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the body on a new thread; later calls do nothing.
    void Start();
    bool Started() const { return FStarted; }

    // Waits at most timeoutMs for the body to end; true when it has ended
    // (or was never started, so nothing runs), false on time-out.
    bool WaitFor(std::uint32_t timeoutMs);
    bool Finished() const;

    // Best effort: above-normal needs a privilege on Linux and silently stays
    // normal without it. Applied when the thread starts, or at once when the
    // thread calls it itself (as the channel threads do at the top of their loop).
    void SetPriority(TThreadPriority priority);

protected:
    virtual void Execute() = 0;
    // Called on the worker when Execute() ends by an exception; `what` says
    // which. The default writes it to the debug output.
    virtual void HandleException(const std::string& what);

    // Waits without limit for the body to end and joins the thread.
    void WaitForEnd();

private:
    void Run();
    void ApplyPriority();

    std::thread FThread;
    bool FStarted = false;
    // Owner or worker stores, the worker applies it at start; atomic.
    std::atomic<TThreadPriority> FPriority{TThreadPriority::Normal};
    // Owner and worker: FFinished under FStateLock, signalled through FEnded.
    mutable std::mutex FStateLock;
    std::condition_variable FEnded;
    bool FFinished = false;
};

} // namespace platform
