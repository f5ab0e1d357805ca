#include "adapters/channel_custom_thread.h"

#include "model/logger.h"

bool TChannelCustomThread::Stop(uint32_t timeoutMs) {
    FStopRequested.store(true, std::memory_order_release);
    return WaitFor(timeoutMs);
}

void TChannelCustomThread::StopAndWaitForEnd() {
    FStopRequested.store(true, std::memory_order_release);
    WaitForEnd();
}

void TChannelCustomThread::HandleException(const std::string& what) {
    if (FLogger != nullptr)
        FLogger->Add("** Channel thread failed: " + what);
    platform::TThread::HandleException(what);
    FFailed.store(true, std::memory_order_release);
}
