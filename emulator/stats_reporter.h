#pragma once

// Prints, once per second while anything moves, the frames each channel sent
// and received in that second and its overruns so far, and the frames each
// bus carried (for --verbose).

#include <condition_variable>
#include <mutex>
#include <thread>

#include <vector>

#include "adapter.h"
#include "can_bus.h"
#include "verbose_log.h"

namespace emu {

class StatsReporter {
public:
    StatsReporter(Adapter& adapter, std::vector<const CanBus*> buses, VerboseLog& log)
        : adapter_(adapter), buses_(std::move(buses)), log_(log) {}
    ~StatsReporter() { stop(); }

    void start();
    void stop();

private:
    void run();

    void reportChannels(ChannelStatus (&last)[2]);
    void reportBuses(std::vector<std::uint64_t>& last);

    Adapter& adapter_;
    const std::vector<const CanBus*> buses_;
    VerboseLog& log_;
    std::thread thread_;
    std::mutex mutex_; // guards stopping_ between stop() and the reporter thread
    std::condition_variable stopped_;
    bool stopping_ = false;
};

} // namespace emu
