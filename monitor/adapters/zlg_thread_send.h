#pragma once

#include "adapters/zlg_thread_custom.h"

class TBusCounters;
class TCanFrame;
class TSendQueue;

// Send thread of an open channel: takes frames from the channel's send queue
// one at a time, hands each to the library and records the accepted ones in
// the trace list as outgoing. Runs above normal priority where allowed.
class TZlgThreadSend final : public TZlgThreadCustom {
public:
    using TZlgThreadCustom::TZlgThreadCustom;
    ~TZlgThreadSend() override;

    // Longest wait for a frame before the stop flag is looked at again; the
    // queue wakes the thread at once when a frame arrives.
    static constexpr int IdleWaitMs = 10;

    // Stamps the frame with the hand-over time and transmits it; true exactly
    // when the library took the one frame. Send thread only.
    bool TransmitFrame(TCanFrame& frame);

    // The channel's send queue; not owned. Written before Start, then read
    // by the loop only.
    TSendQueue* FSendQueue = nullptr;
    // The channel's totals; not owned. Set like FSendQueue.
    TBusCounters* FBusCounters = nullptr;

protected:
    void Execute() override;
};
