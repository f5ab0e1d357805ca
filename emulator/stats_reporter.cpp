#include "stats_reporter.h"

#include <cstdio>

namespace emu {

void StatsReporter::start() {
    thread_ = std::thread([this] { run(); });
}

void StatsReporter::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void StatsReporter::run() {
    ChannelStatus lastChannels[2];
    std::vector<std::uint64_t> lastBuses(buses_.size(), 0);
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (stopped_.wait_for(lock, std::chrono::seconds(1), [&] { return stopping_; }))
                return;
        }
        reportChannels(lastChannels);
        reportBuses(lastBuses);
    }
}

void StatsReporter::reportChannels(ChannelStatus (&last)[2]) {
    for (int i = 0; i < 2; ++i) {
        const ChannelStatus now = adapter_.channel(i).status();
        const auto sent = now.transmitted - last[i].transmitted;
        const auto received = now.received - last[i].received;
        const auto lost = now.overruns - last[i].overruns;
        if (sent || received || lost) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "channel %d: %llu frames/s sent, %llu frames/s received, %llu "
                          "overruns (total %llu)",
                          i, static_cast<unsigned long long>(sent),
                          static_cast<unsigned long long>(received),
                          static_cast<unsigned long long>(lost),
                          static_cast<unsigned long long>(now.overruns));
            log_.print(text);
        }
        last[i] = now;
    }
}

void StatsReporter::reportBuses(std::vector<std::uint64_t>& last) {
    for (std::size_t i = 0; i < buses_.size(); ++i) {
        const std::uint64_t now = buses_[i]->framesCarried();
        if (now != last[i])
            log_.print("bus " + std::to_string(i) + ": " + std::to_string(now - last[i]) +
                       " frames/s on the bus");
        last[i] = now;
    }
}

} // namespace emu
