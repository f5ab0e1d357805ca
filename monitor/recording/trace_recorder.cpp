#include "recording/trace_recorder.h"

#include <chrono>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

std::unique_ptr<TTraceRecorder> TTraceRecorder::Start(const std::string& path,
                                                      canlog::Format format, std::int64_t startUs,
                                                      std::string& error, std::size_t capacity) {
    auto writer = canlog::LogWriter::create(path, format, startUs, error);
    if (!writer)
        return nullptr;
    return std::unique_ptr<TTraceRecorder>(new TTraceRecorder(std::move(writer), path, capacity));
}

TTraceRecorder::TTraceRecorder(std::unique_ptr<canlog::LogWriter> writer, std::string path,
                               std::size_t capacity)
    : FPath(std::move(path)), FCapacity(capacity), FWriter(std::move(writer)) {
    FBytes = FWriter->bytesWritten();
    FThread = std::thread([this] { Run(); });
}

TTraceRecorder::~TTraceRecorder() {
    Stop();
}

bool TTraceRecorder::Push(const canlog::LogFrame& frame) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FStopping || FQueue.size() >= FCapacity) {
            FDropped.fetch_add(1);
            return false;
        }
        FQueue.push_back(frame);
    }
    FWake.notify_one();
    return true;
}

void TTraceRecorder::Push(const std::vector<canlog::LogFrame>& frames) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        for (const canlog::LogFrame& frame : frames) {
            if (FStopping || FQueue.size() >= FCapacity)
                FDropped.fetch_add(1);
            else
                FQueue.push_back(frame);
        }
    }
    FWake.notify_one();
}

std::size_t TTraceRecorder::Room() {
    std::lock_guard<std::mutex> lock(FLock);
    return FStopping || FQueue.size() >= FCapacity ? 0 : FCapacity - FQueue.size();
}

void TTraceRecorder::Run() {
#ifndef _WIN32
    // As urgent as the receive threads it follows: one nice step up, refused
    // without CAP_SYS_NICE, which is fine.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, tid, getpriority(PRIO_PROCESS, tid) - 1);
#endif
    const auto interval = std::chrono::milliseconds(FlushIntervalMs);
    auto nextFlush = std::chrono::steady_clock::now() + interval;
    std::vector<canlog::LogFrame> batch;
    bool done = false;
    while (!done) {
        {
            std::unique_lock<std::mutex> lock(FLock);
            FWake.wait_until(lock, nextFlush, [this] { return FStopping || !FQueue.empty(); });
            batch.assign(FQueue.begin(), FQueue.end());
            FQueue.clear();
            done = FStopping;
        }
        for (const auto& frame : batch) {
            if (!FWriter->write(frame))
                break;
            FWritten.fetch_add(1);
        }
        if (std::chrono::steady_clock::now() >= nextFlush || done) {
            FWriter->flush();
            nextFlush = std::chrono::steady_clock::now() + interval;
        }
        FBytes = FWriter->bytesWritten();
        if (FWriter->failed())
            FFailed = true;
    }
}

bool TTraceRecorder::Stop() {
    if (FStopped)
        return FResult;
    FStopped = true;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
    }
    FWake.notify_one();
    FThread.join();
    FResult = FWriter->finish() && !FFailed.load();
    FBytes = FWriter->bytesWritten();
    FFailed = !FResult;
    return FResult;
}
