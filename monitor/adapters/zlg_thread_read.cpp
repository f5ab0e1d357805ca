#include "adapters/zlg_thread_read.h"

#include <algorithm>
#include <array>

#include "adapters/device_time.h"
#include "adapters/vci_api.h"
#include "model/can_frame.h"
#include "model/frame_bits.h"
#include "model/logger.h"
#include "platform/tick_count.h"
#include "platform/wall_clock.h"
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
        FBaseWallUs = platform::WallClockUs();
        FLastDeviceTime = deviceTime;
        FDeviceUnits = 0;
        FTimeBaseSet = true;
        return FBaseTick;
    }
    // Unsigned arithmetic: a stamp below the base wraps instead of going negative.
    return FBaseTick + DeviceUnitsToMs(deviceTime - FBaseDeviceTime);
}

int64_t TZlgThreadRead::DeviceTimeToWallUs(uint32_t deviceTime) {
    // Unsigned step from the previous stamp: a wrap of the counter adds 2^32.
    FDeviceUnits += static_cast<uint32_t>(deviceTime - FLastDeviceTime);
    FLastDeviceTime = deviceTime;
    return FBaseWallUs + FDeviceUnits * 100;
}

void TZlgThreadRead::Execute() {
    FLogger->Add("** TZlgThreadRead start");
    TCanFrame frame;
    SetPriority(platform::TThreadPriority::AboveNormal);
    std::array<VciCanFrame, ReceiveCapacity> buffer{};
    while (!StopRequested()) {
        const uint32_t polled = platform::TickCount();
        const int32_t n = FVci.Receive(FDevType, FDevIndex, FCanIndex, buffer.data(),
                                       ReceiveCapacity, ReceiveWaitMs);
        const uint32_t pause = TrackPoll(n, platform::TickCount() - polled);
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
        if (pause > 0) {
            platform::SleepMs(pause);
        }
    }
    FLogger->Add("** TZlgThreadRead finish");
}

uint32_t TZlgThreadRead::TrackPoll(int32_t result, uint32_t elapsedMs) {
    if (result >= 0 || elapsedMs >= FastFailureMs) {
        // Frames, or a read that waited out its time-out: the adapter answers.
        FFailing = false;
        // The log line comes before the flag changes, so whoever sees the
        // flag finds the line too.
        if (AdapterLost()) {
            FLogger->Add("** Adapter is back");
            FAdapterLost.store(false, std::memory_order_release);
        }
        return result >= 0 ? 0 : FailurePauseMs;
    }
    const uint32_t now = platform::TickCount();
    if (!FFailing) {
        FFailing = true;
        FFailingSince = now;
    }
    if (!AdapterLost() && now - FFailingSince >= LostGraceMs) {
        FLogger->Add("** Adapter lost: receiving fails");
        FAdapterLost.store(true, std::memory_order_release);
    }
    return AdapterLost() ? LostPauseMs : FailurePauseMs;
}

uint32_t TZlgThreadRead::ProcessRecord(const VciCanFrame& record, TCanFrame& frame) {
    frame.Id = record.canId;
    frame.Len = record.length;
    frame.IsRemote = record.isRemote == 1;
    frame.IsStandard = record.isExtended != 1;
    if (record.stampValid == 1) {
        frame.TimeStamp = DeviceTimeToTick(record.stampTicks);
        frame.TimeUs = DeviceTimeToWallUs(record.stampTicks);
    } else {
        frame.TimeStamp = platform::TickCount();
        frame.TimeUs = platform::WallClockUs();
    }
    std::copy(std::begin(record.payload), std::end(record.payload), frame.Data.begin());
    FTraceList->Add(frame, false);
    FFrameTable->Update(frame);
    if (frame.IsRemote) {
        FSendList->SendOnRequest();
    }
    return FrameBitCount(frame);
}
