#include "adapters/zlg_thread_status.h"

#include "adapters/vci_api.h"
#include "platform/tick_count.h"

TZlgThreadStatus::~TZlgThreadStatus() {
    StopAndWaitForEnd();
}

TControllerStatus TZlgThreadStatus::Latest() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FLatest;
}

void TZlgThreadStatus::Execute() {
    while (!StopRequested()) {
        Poll();
        for (uint32_t waited = 0; waited < PollIntervalMs && !StopRequested();
             waited += StopCheckMs) {
            platform::SleepMs(StopCheckMs);
        }
    }
}

void TZlgThreadStatus::Poll() {
    VciCanStatus record{};
    if (FVci.ReadCANStatus(FDevType, FDevIndex, FCanIndex, &record) != 1) {
        return;
    }
    TControllerStatus status = FReader.Take(record);
    VciErrorInfo info{};
    if (FVci.ReadErrInfo(FDevType, FDevIndex, FCanIndex, &info) == 1) {
        status.ErrorCode = info.errorCode;
    }
    std::lock_guard<std::mutex> guard(FLock);
    FLatest = status;
}
