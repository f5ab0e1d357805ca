#pragma once

// Records frames to a log file while capturing: producers push frames into a
// bounded queue; a writer thread of its own writes them and flushes the file
// at least once a second, so that a crash loses at most the last second.
// When the queue is full a frame is dropped and counted, never silently.
//
// Shared: Push from any thread; the counters from any thread; Stop from the
// owner's thread. The queue and the counters sit behind FLock; the writer
// and the file belong to the writer thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log_format.h"
#include "log_frame.h"
#include "log_writer.h"

class TTraceRecorder {
public:
    // Queue length that covers several seconds of two fully loaded channels.
    static constexpr std::size_t DefaultCapacity = 1 << 18;
    // Longest time between two flushes of the file.
    static constexpr int FlushIntervalMs = 500;

    // Creates the file and starts the writer thread; nullptr and a message
    // when the file cannot be created.
    static std::unique_ptr<TTraceRecorder> Start(const std::string& path, canlog::Format format,
                                                 std::int64_t startUs, std::string& error,
                                                 std::size_t capacity = DefaultCapacity);
    ~TTraceRecorder();
    TTraceRecorder(const TTraceRecorder&) = delete;
    TTraceRecorder& operator=(const TTraceRecorder&) = delete;

    // Queues a frame; false (and one more dropped frame) when the queue is full.
    bool Push(const canlog::LogFrame& frame);
    // Queues the frames with one wake-up of the writer; those that do not fit
    // are dropped and counted.
    void Push(const std::vector<canlog::LogFrame>& frames);
    // Frames the queue takes now without dropping; 0 once stopping.
    std::size_t Room();
    // Writes everything queued, closes the file and ends the thread. False when
    // any write failed. Later calls return the same.
    bool Stop();

    std::uint64_t FramesWritten() const { return FWritten.load(); }
    std::uint64_t FramesDropped() const { return FDropped.load(); }
    std::uint64_t BytesWritten() const { return FBytes.load(); }
    bool Failed() const { return FFailed.load(); }
    const std::string& Path() const { return FPath; }

private:
    TTraceRecorder(std::unique_ptr<canlog::LogWriter> writer, std::string path,
                   std::size_t capacity);
    void Run();

    const std::string FPath;
    const std::size_t FCapacity;
    std::unique_ptr<canlog::LogWriter> FWriter; // writer thread only (and Stop after the join)

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<canlog::LogFrame> FQueue;
    bool FStopping = false;

    std::atomic<std::uint64_t> FWritten{0};
    std::atomic<std::uint64_t> FDropped{0};
    std::atomic<std::uint64_t> FBytes{0};
    std::atomic<bool> FFailed{false};
    bool FStopped = false; // owner's thread only
    bool FResult = true;
    std::thread FThread;
};
