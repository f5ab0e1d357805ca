// ulmar-dump: records what an adapter receives, as candump lines on standard
// output or as a log file.

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "adapter_session.h"
#include "channel_reader.h"
#include "dump_options.h"
#include "frame_output.h"
#include "stop_signal.h"
#include "tool_exit.h"

using namespace ulmar_tools;

namespace {

constexpr auto kFlushEvery = std::chrono::seconds(1);
constexpr auto kWatchEvery = std::chrono::milliseconds(20);

std::unique_ptr<canlog::LogWriter> openWriter(const DumpOptions& options, std::int64_t startUs,
                                              std::string& error) {
    if (!options.logFile.empty())
        return canlog::LogWriter::create(options.logFile, *options.format, startUs, error);
    std::FILE* frames = takeStandardOutputForFrames();
    if (frames == nullptr) {
        error = "cannot set up standard output";
        return nullptr;
    }
    return std::make_unique<canlog::LogWriter>(frames, *options.format, startUs);
}

void report(const DumpOptions& options, const FrameSink& sink,
            const std::vector<std::unique_ptr<ChannelReader>>& readers) {
    const auto counts = sink.framesPerChannel();
    std::uint64_t overruns = 0;
    for (std::size_t i = 0; i < options.channels.size(); ++i) {
        std::fprintf(stderr, "ulmar-dump: channel %u: %" PRIu64 " frames, %" PRIu64 " lost\n",
                     options.channels[i], counts[options.channels[i]], readers[i]->overruns());
        overruns += readers[i]->overruns();
    }
    // Frames go straight from the receive threads into the log, so the tool
    // itself drops none: a log that cannot keep up backs up into the adapter,
    // whose overruns are counted above.
    std::fprintf(stderr, "ulmar-dump: lost %" PRIu64 " (adapter overruns %" PRIu64 ", ours 0)\n",
                 overruns, overruns);
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = parseDumpOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "ulmar-dump: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(dumpHelpText(), stdout);
        return kExitDone;
    }
    installStopHandlers();
    const std::int64_t startUs = wallClockUs();
    auto writer = openWriter(*options, startUs, error);
    if (!writer) {
        std::fprintf(stderr, "ulmar-dump: %s\n", error.c_str());
        return kExitFailure;
    }
    FrameSink sink(*writer, options->maxFrames);
    std::vector<std::unique_ptr<ChannelReader>> readers;
    {
        AdapterSession session(AdapterSession::Use::Receive);
        if (!session.open(options->device, error)) {
            std::fprintf(stderr, "ulmar-dump: %s\n", error.c_str());
            return kExitFailure;
        }
        for (std::uint32_t channel : options->channels) {
            if (!session.startChannel(channel, options->bitRate, options->listenOnly, error)) {
                std::fprintf(stderr, "ulmar-dump: %s\n", error.c_str());
                return kExitFailure;
            }
        }
        AdapterClock clock;
        std::atomic<bool> running{true};
        std::vector<std::thread> threads;
        for (std::uint32_t channel : options->channels) {
            readers.push_back(
                std::make_unique<ChannelReader>(options->device, channel, clock, sink));
            threads.emplace_back([&reader = *readers.back(), &running] {
                reader.run([&running] { return running.load(); });
            });
        }
        const auto started = std::chrono::steady_clock::now();
        const auto limit = std::chrono::duration<double>(options->maxSeconds);
        auto nextFlush = started + kFlushEvery;
        while (!stopRequested() && !sink.finished() &&
               (options->maxSeconds == 0 || std::chrono::steady_clock::now() - started < limit)) {
            std::this_thread::sleep_for(kWatchEvery);
            if (std::chrono::steady_clock::now() >= nextFlush) {
                sink.flush();
                nextFlush += kFlushEvery;
            }
        }
        running = false;
        for (auto& thread : threads)
            thread.join();
    }
    const bool written = writer->finish();
    report(*options, sink, readers);
    const std::string failure = sink.failure();
    if (!failure.empty() || !written) {
        std::fprintf(stderr, "ulmar-dump: %s\n",
                     failure.empty() ? "cannot write the log" : failure.c_str());
        return kExitFailure;
    }
    return kExitDone;
}
