#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "adapters/vci_api.h"

// Test double of the library: scripted results for the three configuration
// calls, a queue of receive batches, and a record of every transmitted frame.
// Configuration calls come from the test's thread; Receive from a receive
// thread and Transmit from a send thread, so the shared parts are atomics or
// guarded by FLock.
class TFakeVci final : public TVciApi {
public:
    struct TReceiveBatch {
        std::vector<VciCanFrame> Records;
        int32_t Result; // what Receive answers; may exceed Records.size()
    };

    std::atomic<int32_t> OpenResult{1};
    std::atomic<int32_t> InitResult{1};
    std::atomic<int32_t> StartResult{1};
    std::atomic<int32_t> TransmitResult{1};
    // When set, Receive fails at once with -1, like a library whose device is gone.
    std::atomic<bool> ReceiveFailsAtOnce{false};
    // When set, Receive throws, like a fault in the receive path.
    std::atomic<bool> ReceiveThrows{false};

    std::atomic<int> OpenCalls{0};
    std::atomic<int> CloseCalls{0};
    std::atomic<int> InitCalls{0};
    std::atomic<int> StartCalls{0};
    std::atomic<int> ReceiveCalls{0};

    int32_t OpenDevice(uint32_t devType, uint32_t devIndex, uint32_t reserved) override {
        std::lock_guard<std::mutex> guard(FLock);
        LastDevType = devType;
        LastDevIndex = devIndex;
        LastReserved = reserved;
        ++OpenCalls;
        return OpenResult;
    }
    int32_t CloseDevice(uint32_t, uint32_t) override {
        ++CloseCalls;
        return 1;
    }
    int32_t InitCAN(uint32_t, uint32_t, uint32_t canIndex, const VciInitConfig* config) override {
        std::lock_guard<std::mutex> guard(FLock);
        LastInitChannel = canIndex;
        LastConfig = *config;
        ++InitCalls;
        return InitResult;
    }
    int32_t StartCAN(uint32_t, uint32_t, uint32_t) override {
        ++StartCalls;
        return StartResult;
    }
    int32_t Transmit(uint32_t, uint32_t, uint32_t canIndex, const VciCanFrame* frames,
                     uint32_t count) override {
        std::lock_guard<std::mutex> guard(FLock);
        for (uint32_t i = 0; i < count; ++i) {
            Transmitted.push_back({canIndex, frames[i]});
        }
        return TransmitResult;
    }
    // Hands out the next scripted batch, or waits a little and reports none,
    // like the library's read time-out.
    int32_t Receive(uint32_t, uint32_t, uint32_t, VciCanFrame* frames, uint32_t capacity,
                    int32_t) override {
        ++ReceiveCalls;
        if (ReceiveThrows) {
            throw std::runtime_error("scripted receive fault");
        }
        if (ReceiveFailsAtOnce) {
            return -1;
        }
        TReceiveBatch batch;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FBatches.empty()) {
                batch.Result = 0;
            } else {
                batch = std::move(FBatches.front());
                FBatches.pop_front();
            }
        }
        if (batch.Records.empty() && batch.Result <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return batch.Result;
        }
        for (size_t i = 0; i < batch.Records.size() && i < capacity; ++i) {
            frames[i] = batch.Records[i];
        }
        return batch.Result;
    }

    // What ReadCANStatus answers and fills in; guarded by FLock.
    int32_t StatusResult = 1;
    VciCanStatus Status{};
    std::atomic<int> StatusCalls{0};
    int32_t ReadCANStatus(uint32_t, uint32_t, uint32_t, VciCanStatus* status) override {
        std::lock_guard<std::mutex> guard(FLock);
        ++StatusCalls;
        *status = Status;
        return StatusResult;
    }
    int32_t ReadErrInfo(uint32_t, uint32_t, uint32_t, VciErrorInfo* info) override {
        *info = VciErrorInfo{};
        return 1;
    }
    void SetStatus(const VciCanStatus& status) {
        std::lock_guard<std::mutex> guard(FLock);
        Status = status;
    }

    void QueueBatch(std::vector<VciCanFrame> records, int32_t result) {
        std::lock_guard<std::mutex> guard(FLock);
        FBatches.push_back({std::move(records), result});
    }
    void QueueBatch(std::vector<VciCanFrame> records) {
        const auto count = static_cast<int32_t>(records.size());
        QueueBatch(std::move(records), count);
    }
    bool BatchesTaken() {
        std::lock_guard<std::mutex> guard(FLock);
        return FBatches.empty();
    }

    struct TSent {
        uint32_t Channel;
        VciCanFrame Record;
    };
    std::vector<TSent> TransmittedCopy() {
        std::lock_guard<std::mutex> guard(FLock);
        return Transmitted;
    }
    VciInitConfig LastConfigCopy() {
        std::lock_guard<std::mutex> guard(FLock);
        return LastConfig;
    }

    uint32_t LastDevType = 0;
    uint32_t LastDevIndex = 0;
    uint32_t LastReserved = 0xFFFFFFFF;
    uint32_t LastInitChannel = 0xFFFFFFFF;

private:
    std::mutex FLock;
    VciInitConfig LastConfig{};
    std::vector<TSent> Transmitted;
    std::deque<TReceiveBatch> FBatches;
};

// A received record as the library fills it.
inline VciCanFrame MakeRecord(uint32_t id, bool remote, bool extended, uint8_t length,
                              uint32_t stamp, uint8_t firstByte = 0) {
    VciCanFrame record{};
    record.canId = id;
    record.stampTicks = stamp;
    record.stampValid = 1;
    record.isRemote = remote ? 1 : 0;
    record.isExtended = extended ? 1 : 0;
    record.length = length;
    for (uint8_t i = 0; i < 8; ++i) {
        record.payload[i] = static_cast<uint8_t>(firstByte + i);
    }
    return record;
}
