#pragma once

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

    // Maps a device time stamp (0.1 ms units) onto the host tick scale,
    // anchored at the first stamp this thread sees. Receive thread only.
    uint32_t DeviceTimeToTick(uint32_t deviceTime);

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

    // Receive thread only.
    uint32_t FBaseTick = 0;
    uint32_t FBaseDeviceTime = 0;
    bool FTimeBaseSet = false;
};
