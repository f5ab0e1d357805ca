#pragma once

// Prints, once per second while anything moves, the frames each channel sent
// and received in that second and its overruns so far (for --verbose).

#include <condition_variable>
#include <mutex>
#include <thread>

#include "adapter.h"
#include "verbose_log.h"

namespace emu {

class StatsReporter {
public:
    StatsReporter(Adapter& adapter, VerboseLog& log) : adapter_(adapter), log_(log) {}
    ~StatsReporter() { stop(); }

    void start();
    void stop();

private:
    void run();

    Adapter& adapter_;
    VerboseLog& log_;
    std::thread thread_;
    std::mutex mutex_; // guards stopping_ between stop() and the reporter thread
    std::condition_variable stopped_;
    bool stopping_ = false;
};

} // namespace emu
