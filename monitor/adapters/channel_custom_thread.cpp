#include "adapters/channel_custom_thread.h"

bool TChannelCustomThread::Stop(uint32_t timeoutMs) {
    FStopRequested.store(true, std::memory_order_release);
    return WaitFor(timeoutMs);
}

void TChannelCustomThread::StopAndWaitForEnd() {
    FStopRequested.store(true, std::memory_order_release);
    WaitForEnd();
}
