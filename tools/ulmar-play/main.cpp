// ulmar-play: replays a log through the adapter with its recorded timing.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <getopt.h>
#include <set>
#include <string>

#include "adapter_session.h"
#include "log_reader.h"
#include "number_args.h"
#include "stop_signal.h"
#include "tool_exit.h"
#include "transmit_wait.h"
#include "ulmar.h"
#include "vci_frames.h"

using namespace ulmar_tools;

namespace {

const char* kHelp = R"(Usage: ulmar-play [OPTIONS] FILE
Sends the frames of a log through the adapter with the log's own spacing:
can0 (ASC channel 1, CSV channel 0) on channel 0, can1 on channel 1. Received
and sent frames of the log alike are sent. At the end it prints how late the
frames left against their schedule: the worst and the mean.

FILE is a candump -L log, a Vector ASC file or a CSV log (by its extension
.log, .asc or .csv, else by its first line).

  -l LOOPS          play the log LOOPS times (default 1; 0 until stopped)
  -d INDEX          adapter index (default 0)
  -b BITRATE        bit rate in bit/s (default 500000); one of
                    5000 10000 20000 40000 50000 80000 100000 125000 200000
                    250000 400000 500000 666000 800000 1000000
  -h, --help        show this text and exit

SIGINT or SIGTERM stops it after the frame in progress. The channels are left
started, so that a ulmar-dump on the same adapter keeps receiving.
Exit codes: 0 done, 1 failure (file, adapter), 2 bad command line.
)";

// Pause between the end of the log and its next round.
constexpr std::int64_t kLoopGapUs = 100'000;

struct PlayOptions {
    std::string file;
    std::uint64_t loops = 1;
    std::uint32_t device = 0;
    std::int32_t bitRate = 500000;
    bool help = false;
};

bool parse(int argc, char** argv, PlayOptions& options, std::string& error) {
    static const option longOptions[] = {{"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    opterr = 0;
    int c = 0;
    std::uint64_t number = 0;
    while ((c = getopt_long(argc, argv, ":l:d:b:h", longOptions, nullptr)) != -1) {
        const std::string value = optarg != nullptr ? optarg : "";
        if (c == 'h') {
            options.help = true;
        } else if (c == 'l' && parseCount(value, UINT32_MAX, number)) {
            options.loops = number;
        } else if (c == 'd' && parseCount(value, 255, number)) {
            options.device = static_cast<std::uint32_t>(number);
        } else if (c == 'b' && parseCount(value, 1'000'000, number) &&
                   isSupportedBitRate(static_cast<std::int32_t>(number))) {
            options.bitRate = static_cast<std::int32_t>(number);
        } else if (c == ':') {
            error = std::string("option -") + static_cast<char>(optopt) + " needs a value";
            return false;
        } else if (c == '?') {
            error = "unknown option " + std::string(argv[optind - 1]);
            return false;
        } else {
            error = std::string("bad value '") + value + "' for -" + static_cast<char>(c);
            return false;
        }
    }
    if (options.help)
        return true;
    if (optind + 1 != argc) {
        error = optind == argc ? "no log file given" : "one log file only";
        return false;
    }
    options.file = argv[optind];
    return true;
}

std::int64_t monotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

void sleepUntilUs(std::int64_t dueUs) {
    timespec due{};
    due.tv_sec = static_cast<time_t>(dueUs / 1'000'000);
    due.tv_nsec = static_cast<long>(dueUs % 1'000'000) * 1000;
    // An interrupting signal ends the wait early; the caller looks at the stop flag.
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
}

struct TimingError {
    std::int64_t worstUs = 0;
    std::int64_t totalUs = 0;
    std::uint64_t frames = 0;
};

// Plays the frames once from `startUs` (monotonic); false on a failed transmit.
bool playOnce(const PlayOptions& options, const std::vector<canlog::LogFrame>& frames,
              std::int64_t startUs, TimingError& timing) {
    const std::int64_t firstUs = frames.front().timeUs;
    for (const auto& frame : frames) {
        const std::int64_t dueUs = startUs + std::max<std::int64_t>(0, frame.timeUs - firstUs);
        sleepUntilUs(dueUs);
        if (stopRequested())
            return true;
        const std::int64_t lateUs = std::max<std::int64_t>(0, monotonicUs() - dueUs);
        const VciCanFrame record = toVciFrame(frame);
        if (VCI_Transmit(kDeviceType, options.device, frame.channel, &record, 1) != 1) {
            std::fprintf(stderr, "ulmar-play: a frame for channel %u was not sent\n",
                         frame.channel);
            return false;
        }
        timing.worstUs = std::max(timing.worstUs, lateUs);
        timing.totalUs += lateUs;
        ++timing.frames;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    PlayOptions options;
    std::string error;
    if (!parse(argc, argv, options, error)) {
        std::fprintf(stderr, "ulmar-play: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kHelp, stdout);
        return kExitDone;
    }
    auto log = canlog::readLogFile(options.file, std::nullopt, error);
    if (!log) {
        std::fprintf(stderr, "ulmar-play: %s\n", error.c_str());
        return kExitFailure;
    }
    if (log->malformedLines != 0)
        std::fprintf(stderr, "ulmar-play: %s: %s\n", options.file.c_str(), log->summary().c_str());
    std::vector<canlog::LogFrame> frames;
    std::set<std::uint32_t> channels;
    for (const auto& frame : log->frames) {
        if (frame.channel <= 1) {
            frames.push_back(frame);
            channels.insert(frame.channel);
        }
    }
    if (frames.size() != log->frames.size())
        std::fprintf(stderr, "ulmar-play: %zu frames of channels above 1 left out\n",
                     log->frames.size() - frames.size());
    if (frames.empty()) {
        std::fprintf(stderr, "ulmar-play: %s: no frame to play\n", options.file.c_str());
        return kExitFailure;
    }
    installStopHandlers();
    AdapterSession session(AdapterSession::Use::Send);
    if (!session.open(options.device, error)) {
        std::fprintf(stderr, "ulmar-play: %s\n", error.c_str());
        return kExitFailure;
    }
    for (std::uint32_t channel : channels) {
        if (!session.startChannel(channel, options.bitRate, false, error)) {
            std::fprintf(stderr, "ulmar-play: %s\n", error.c_str());
            return kExitFailure;
        }
    }
    const std::int64_t spanUs =
        std::max<std::int64_t>(0, frames.back().timeUs - frames.front().timeUs);
    TimingError timing;
    std::int64_t startUs = monotonicUs();
    bool sent = true;
    for (std::uint64_t round = 0;
         sent && !stopRequested() && (options.loops == 0 || round < options.loops); ++round) {
        sent = playOnce(options, frames, startUs, timing);
        startUs += spanUs + kLoopGapUs;
    }
    for (std::uint32_t channel : channels)
        waitUntilSent(options.device, channel);
    std::fprintf(stderr, "ulmar-play: %llu frames sent; timing error worst %.3f ms, mean %.3f ms\n",
                 static_cast<unsigned long long>(timing.frames), timing.worstUs / 1000.0,
                 timing.frames ? static_cast<double>(timing.totalUs) / timing.frames / 1000.0
                               : 0.0);
    return sent ? kExitDone : kExitFailure;
}
