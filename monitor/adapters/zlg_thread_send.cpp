#include "adapters/zlg_thread_send.h"

#include <algorithm>
#include <chrono>

#include "adapters/send_queue.h"
#include "adapters/vci_api.h"
#include "model/can_frame.h"
#include "platform/tick_count.h"
#include "platform/wall_clock.h"
#include "views/bus_counters.h"
#include "views/trace_list.h"

TZlgThreadSend::~TZlgThreadSend() {
    StopAndWaitForEnd();
}

void TZlgThreadSend::Execute() {
    SetPriority(platform::TThreadPriority::AboveNormal);
    TCanFrame frame;
    while (!StopRequested()) {
        if (!FSendQueue->Take(frame, std::chrono::milliseconds(IdleWaitMs))) {
            continue;
        }
        // A frame the library does not take is dropped: no retry, no trace.
        if (TransmitFrame(frame)) {
            FTraceList->Add(frame, true);
            FBusCounters->AddSent(frame);
        }
    }
}

bool TZlgThreadSend::TransmitFrame(TCanFrame& frame) {
    frame.TimeStamp = platform::TickCount();
    frame.TimeUs = platform::WallClockUs();
    VciCanFrame record{};
    record.canId = frame.Id;
    record.length = static_cast<uint8_t>(frame.Len & 0xFF);
    std::copy(frame.Data.begin(), frame.Data.end(), std::begin(record.payload));
    record.transmitMode = 0;
    record.isRemote = frame.IsRemote ? 1 : 0;
    record.isExtended = frame.IsStandard ? 0 : 1;
    return FVci.Transmit(FDevType, FDevIndex, FCanIndex, &record, 1) == 1;
}
