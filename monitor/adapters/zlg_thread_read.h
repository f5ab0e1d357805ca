#pragma once

#include <atomic>
#include <cstdint>

#include "adapters/zlg_thread_custom.h"

class TBusCounters;
class TCanFrame;
class TCanSendList;
struct VciCanFrame;

// Receive thread of an open channel: polls the library and enters every frame
// into the trace list and the frame table; a remote frame triggers the
// transmit list's on-request items. Runs above normal priority where allowed.
class TZlgThreadRead final : public TZlgThreadCustom {
public:
    using TZlgThreadCustom::TZlgThreadCustom;
    ~TZlgThreadRead() override;

    // Records per poll; the buffer lives on the thread's stack.
    static constexpr uint32_t ReceiveCapacity = 48;
    // Wait time handed to the library; its own read time-out paces the loop.
    static constexpr int32_t ReceiveWaitMs = 48;
    // Pause after a failed poll. A library that fails at once on every call
    // (device gone) would otherwise keep a core busy at raised priority.
    static constexpr uint32_t FailurePauseMs = 1;
    // A poll that fails sooner than this did not wait out the library's read
    // time-out (100 ms), which an idle bus does: the transfer itself failed.
    static constexpr uint32_t FastFailureMs = 50;
    // The adapter counts as lost once polls have failed at once, with nothing
    // else in between, for this long.
    static constexpr uint32_t LostGraceMs = 1000;
    // Pause after a failed poll while the adapter is lost.
    static constexpr uint32_t LostPauseMs = 50;

    // True while the adapter seems gone: a USB device unplugged, a link given
    // up. Any thread.
    bool AdapterLost() const { return FAdapterLost.load(std::memory_order_acquire); }

    // Maps a device time stamp (0.1 ms units) onto the host tick scale,
    // anchored at the first stamp this thread sees. Receive thread only.
    uint32_t DeviceTimeToTick(uint32_t deviceTime);
    // The same stamp as wall-clock microseconds: the wall clock at the first
    // stamp plus the adapter's time since then, unwrapped (the stamp wraps
    // after 2^32 units, about five days). Call after DeviceTimeToTick for the
    // same stamp. Receive thread only.
    int64_t DeviceTimeToWallUs(uint32_t deviceTime);

    // The channel's transmit list; not owned. Written before Start, then
    // read by the loop only.
    TCanSendList* FSendList = nullptr;
    // The channel's totals; not owned. Set like FSendList. Added to once per poll.
    TBusCounters* FBusCounters = nullptr;

protected:
    void Execute() override;

private:
    // Returns the frame's bus bits.
    uint32_t ProcessRecord(const VciCanFrame& record, TCanFrame& frame);
    // Follows the outcome of one poll that took `elapsedMs`; returns the pause
    // before the next one.
    uint32_t TrackPoll(int32_t result, uint32_t elapsedMs);

    // Receive thread only.
    uint32_t FBaseTick = 0;
    uint32_t FBaseDeviceTime = 0;
    bool FTimeBaseSet = false;
    // Receive thread only: start of the current run of fast failures.
    bool FFailing = false;
    uint32_t FFailingSince = 0;
    // Written by the receive thread, read by the window's.
    std::atomic<bool> FAdapterLost{false};
    int64_t FBaseWallUs = 0;
    uint32_t FLastDeviceTime = 0;
    int64_t FDeviceUnits = 0; // since the base stamp, unwrapped
};
