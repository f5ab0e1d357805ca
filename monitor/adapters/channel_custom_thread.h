#pragma once

#include <atomic>
#include <cstdint>

#include "platform/thread.h"

class TLogger;
class TCorvexTraceList;
class TCorvexTable;

// Base of the worker threads that serve an open channel. Always created
// suspended; the creator fills in the references, then starts the thread.
// The loop ends only through FStopRequested.
class TChannelCustomThread : public platform::TThread {
public:
    // Asks the loop to end and waits at most timeoutMs; true when it ended.
    bool Stop(uint32_t timeoutMs);
    // True once the loop has ended by an exception; any thread.
    bool Failed() const { return FFailed.load(std::memory_order_acquire); }

    // The channel's objects; not owned. Written by the creator before Start,
    // read by the loop after it, so the thread's start orders the two.
    TLogger* FLogger = nullptr;
    TCorvexTraceList* FTraceList = nullptr;
    TCorvexTable* FFrameTable = nullptr;

protected:
    bool StopRequested() const { return FStopRequested.load(std::memory_order_acquire); }
    // For the destructors of the concrete threads: ends the loop and waits
    // for it before their members go away.
    void StopAndWaitForEnd();
    // Logs the exception in the channel's log and marks the thread failed.
    void HandleException(const std::string& what) override;

private:
    // Set by the worker when its loop ended by an exception.
    std::atomic<bool> FFailed{false};
    // Written by the thread that closes the channel, read by the loop.
    std::atomic<bool> FStopRequested{false};
};
