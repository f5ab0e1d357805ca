// ulmar-emu: runs one virtual adapter until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <pthread.h>
#include <string>
#include <vector>

#include "adapter.h"
#include "can_bus.h"
#include "demo_node.h"
#include "discovery.h"
#include "emu_clock.h"
#include "flood_node.h"
#include "gadgetfs_server.h"
#include "link_server.h"
#include "log_reader.h"
#include "options.h"
#include "replay_node.h"
#include "stats_reporter.h"
#include "verbose_log.h"

namespace {

using namespace emu;

// Blocks the stop signals in every thread; the main thread collects them with sigwait.
sigset_t blockStopSignals() {
    // An inherited "ignore" would discard SIGTERM before sigwait could see it.
    std::signal(SIGTERM, SIG_DFL);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

bool loadReplay(const Options& options, std::vector<std::vector<ReplayRecord>>& perBus,
                int busCount) {
    if (options.replayFile.empty())
        return true;
    std::string error;
    const auto log = canlog::readLogFile(options.replayFile, std::nullopt, error);
    if (!log) {
        std::fprintf(stderr, "ulmar-emu: %s\n", error.c_str());
        return false;
    }
    if (log->malformedLines != 0) {
        std::fprintf(stderr, "ulmar-emu: %s: %s\n", options.replayFile.c_str(),
                     log->summary().c_str());
        // Nothing but malformed lines: surely not a log at all.
        if (log->frames.empty())
            return false;
    }
    const auto records = toReplayRecords(log->frames);
    perBus = splitByChannel(records, busCount);
    return true;
}

std::vector<std::unique_ptr<CanBus>> buildBuses(const Options& options, Adapter& adapter,
                                                const EmuClock& clock,
                                                std::vector<std::vector<ReplayRecord>>& replay) {
    std::vector<std::unique_ptr<CanBus>> buses;
    const int busCount = options.separateBuses ? 2 : 1;
    for (int b = 0; b < busCount; ++b)
        buses.push_back(std::make_unique<CanBus>(b, options.busTiming, clock));
    for (int c = 0; c < 2; ++c)
        buses[static_cast<std::size_t>(options.separateBuses ? c : 0)]->attach(adapter.channel(c));
    for (int b = 0; b < busCount; ++b) {
        CanBus& bus = *buses[static_cast<std::size_t>(b)];
        if (options.demo) {
            for (auto& node : makeDemoNodes(b))
                bus.addNode(std::move(node));
        }
        if (options.floodPercent > 0)
            bus.addNode(std::make_unique<FloodNode>(options.floodPercent, options.flood));
        if (static_cast<std::size_t>(b) < replay.size() &&
            !replay[static_cast<std::size_t>(b)].empty())
            bus.addNode(std::make_unique<ReplayNode>(std::move(replay[static_cast<std::size_t>(b)]),
                                                     options.replayLoop));
    }
    return buses;
}

void describe(const Options& options, VerboseLog& log) {
    const auto& id = options.adapter.identity;
    char text[256];
    std::snprintf(text, sizeof text,
                  "adapter '%s': %04X:%04X release %04X, product \"%s\", serial \"%s\"",
                  options.name.c_str(), id.vendorId, id.productId, id.release,
                  id.productString().c_str(), id.serial.c_str());
    log.print(text);
    std::string traffic = options.separateBuses ? "separate buses" : "both channels on one bus";
    if (!options.busTiming)
        traffic += ", no bus timing";
    if (options.demo)
        traffic += ", demo traffic";
    if (options.floodPercent)
        traffic += ", flood at " + std::to_string(options.floodPercent) + " % with " +
                   std::to_string(options.flood.length) + "-byte frames, " +
                   describeFloodIds(options.flood);
    if (!options.replayFile.empty())
        traffic += ", replaying " + options.replayFile + (options.replayLoop ? " in a loop" : "");
    log.print(traffic);
}

using Buses = std::vector<std::unique_ptr<CanBus>>;

void startTraffic(const Options& options, Buses& buses, StatsReporter& stats) {
    for (auto& bus : buses)
        bus->start();
    if (options.verbose)
        stats.start();
}

void logStop(int signal, VerboseLog& log) {
    log.print(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
}

int serveLink(const Options& options, Adapter& adapter, Buses& buses, StatsReporter& stats,
              const sigset_t& stopSignals, VerboseLog& log) {
    std::string error;
    LinkServer server(adapter, options.faults, log);
    if (!server.listen(error)) {
        std::fprintf(stderr, "ulmar-emu: %s\n", error.c_str());
        return kExitFailure;
    }
    startTraffic(options, buses, stats);
    server.start();
    DiscoveryFile file;
    if (!file.publish(discoveryDirectory(), options.name, server.port(), error)) {
        std::fprintf(stderr, "ulmar-emu: %s\n", error.c_str());
        return kExitFailure;
    }
    describe(options, log);
    log.print("listening on 127.0.0.1:" + std::to_string(server.port()) + ", published " +
              file.path());

    int signal = 0;
    sigwait(&stopSignals, &signal);
    logStop(signal, log);
    file.remove();
    stats.stop();
    server.stop();
    return kExitOk;
}

// The adapter as a USB device through gadgetfs.
int serveUsb(const Options& options, Adapter& adapter, Buses& buses, StatsReporter& stats,
             const sigset_t& stopSignals, VerboseLog& log) {
    std::string error;
    GadgetFsServer server(adapter, options.faults, options.gadgetFsDirectory, log);
    if (!server.open(error)) {
        std::fprintf(stderr, "ulmar-emu: %s\n", error.c_str());
        return kExitFailure;
    }
    startTraffic(options, buses, stats);
    server.start();
    describe(options, log);
    log.print("serving USB through gadgetfs in " + options.gadgetFsDirectory);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    logStop(signal, log);
    stats.stop();
    server.stop();
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "ulmar-emu: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(helpText().c_str(), stdout);
        return kExitOk;
    }
    const sigset_t stopSignals = blockStopSignals();

    std::vector<std::vector<ReplayRecord>> replay;
    if (!loadReplay(*options, replay, options->separateBuses ? 2 : 1))
        return kExitFailure;

    VerboseLog log(options->verbose);
    const EmuClock clock;
    Adapter adapter(options->adapter, log);
    auto buses = buildBuses(*options, adapter, clock, replay);
    std::vector<const CanBus*> busViews;
    for (const auto& bus : buses)
        busViews.push_back(bus.get());
    StatsReporter stats(adapter, busViews, log);
    const bool usb = !options->gadgetFsDirectory.empty();
    const int result = usb ? serveUsb(*options, adapter, buses, stats, stopSignals, log)
                           : serveLink(*options, adapter, buses, stats, stopSignals, log);
    for (auto& bus : buses)
        bus->stop();
    return result;
}
