#include "platform/thread.h"

#include <chrono>
#include <exception>
#include <string>

#include "platform/debug_output.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// The TThread whose body runs on the calling thread, if any.
thread_local const TThread* tCurrentThread = nullptr;

} // namespace

TThread::~TThread() {
    WaitForEnd();
}

void TThread::Start() {
    if (FStarted)
        return;
    // Started only once the thread exists: a start that throws leaves nothing to wait for.
    FThread = std::thread(&TThread::Run, this);
    FStarted = true;
}

bool TThread::WaitFor(std::uint32_t timeoutMs) {
    if (!FStarted)
        return true;
    std::unique_lock<std::mutex> lock(FStateLock);
    return FEnded.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return FFinished; });
}

bool TThread::Finished() const {
    std::lock_guard<std::mutex> lock(FStateLock);
    return FFinished;
}

void TThread::SetPriority(TThreadPriority priority) {
    FPriority.store(priority);
    if (tCurrentThread == this)
        ApplyPriority();
}

void TThread::WaitForEnd() {
    if (FThread.joinable())
        FThread.join();
}

void TThread::Run() {
    tCurrentThread = this;
    ApplyPriority();
    try {
        Execute();
    } catch (const std::exception& e) {
        HandleException(e.what());
    } catch (...) {
        HandleException("unknown exception");
    }
    std::lock_guard<std::mutex> lock(FStateLock);
    FFinished = true;
    FEnded.notify_all();
}

void TThread::HandleException(const std::string& what) {
    DebugOutput("thread ended by an exception: " + what);
}

// Applies the stored priority to the calling thread, which is the worker.
void TThread::ApplyPriority() {
    const bool above = FPriority.load() == TThreadPriority::AboveNormal;
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(),
                      above ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_NORMAL);
#else
    // One nice step up; refused without CAP_SYS_NICE, which is fine.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, tid, above ? -1 : 0);
#endif
}

} // namespace platform
