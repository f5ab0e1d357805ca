#include "adapters/zlg_thread_read.h"

#include <algorithm>
#include <array>

#include "adapters/device_time.h"
#include "adapters/vci_api.h"
#include "model/can_frame.h"
#include "model/frame_bits.h"
#include "model/logger.h"
#include "platform/tick_count.h"
#include "transmit/send_list.h"
#include "views/bus_counters.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

TZlgThreadRead::~TZlgThreadRead() {
    StopAndWaitForEnd();
}

uint32_t TZlgThreadRead::DeviceTimeToTick(uint32_t deviceTime) {
    if (!FTimeBaseSet) {
        FBaseDeviceTime = deviceTime;
        FBaseTick = platform::TickCount();
        FTimeBaseSet = true;
        return FBaseTick;
    }
    // Unsigned arithmetic: a stamp below the base wraps instead of going negative.
    return FBaseTick + DeviceUnitsToMs(deviceTime - FBaseDeviceTime);
}

void TZlgThreadRead::Execute() {
    FLogger->Add("** TZlgThreadRead start");
    TCanFrame frame;
    SetPriority(platform::TThreadPriority::AboveNormal);
    std::array<VciCanFrame, ReceiveCapacity> buffer{};
    while (!StopRequested()) {
        const int32_t n = FVci.Receive(FDevType, FDevIndex, FCanIndex, buffer.data(),
                                       ReceiveCapacity, ReceiveWaitMs);
        // A count above the capacity would read past the buffer: clamp it.
        const auto count = std::min<int32_t>(n, static_cast<int32_t>(ReceiveCapacity));
        uint64_t bits = 0;
        for (int32_t i = 0; i < count; ++i) {
            bits += ProcessRecord(buffer[static_cast<size_t>(i)], frame);
        }
        if (count > 0) {
            FBusCounters->AddReceived(static_cast<uint64_t>(count), bits);
        }
        if (n > count) {
            FBusCounters->AddDropped(static_cast<uint64_t>(n - count));
        }
        FFrameTable->ProcessRequests();
        if (n < 0) {
            platform::SleepMs(FailurePauseMs);
        }
    }
    FLogger->Add("** TZlgThreadRead finish");
}

uint32_t TZlgThreadRead::ProcessRecord(const VciCanFrame& record, TCanFrame& frame) {
    frame.Id = record.canId;
    frame.Len = record.length;
    frame.IsRemote = record.isRemote == 1;
    frame.IsStandard = record.isExtended != 1;
    frame.TimeStamp =
        record.stampValid == 1 ? DeviceTimeToTick(record.stampTicks) : platform::TickCount();
    std::copy(std::begin(record.payload), std::end(record.payload), frame.Data.begin());
    FTraceList->Add(frame, false);
    FFrameTable->Update(frame);
    if (frame.IsRemote) {
        FSendList->SendOnRequest();
    }
    return FrameBitCount(frame);
}
