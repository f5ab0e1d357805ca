// Recording at full load: both channels on buses of their own, each flooded to
// 100 % of 1 Mbit/s with the shortest frames (no data by default).
//  1. ulmar-dump writes a candump log of both channels: frames per second,
//     frames lost (its report), its CPU time and its memory over the run.
//  2. The monitor's headless path (CAdapterZlg, receive threads, trace lists)
//     first without, then with a recording fed the way the window feeds it:
//     the CPU time recording adds, frames recorded against frames traced,
//     frames dropped, and the process's memory over the run.
//
//   recording_bench [--seconds N] [--flood-length BYTES]   (default 60, 0)
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "adapters/zlg_adapter.h"
#include "emu_process.h"
#include "platform/executable_dir.h"
#include "platform/wall_clock.h"
#include "recording/trace_recorder.h"
#include "recording/trace_recording_feed.h"
#include "ulmar.h"
#include "views/trace_list.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const timeval& time) {
    return double(time.tv_sec) + time.tv_usec / 1e6;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// Resident set of a process in KiB, from /proc.
long RssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 16, '\n');
    }
    return -1;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void DumpPhase(const tessel::test::DeviceDir& dir, int seconds) {
    const std::string log = dir.path() + "/dump.log", err = dir.path() + "/dump.err";
    const std::string duration = std::to_string(seconds);
    std::vector<std::string> args = {ULMAR_DUMP_PATH, "-b", "1000000", "-T", duration, "-l", log};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::printf("ulmar-dump: cannot start\n");
        return;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::printf("ulmar-dump, both channels, %d s:\n", seconds);
    const auto start = Clock::now();
    int status = 0;
    rusage usage{};
    for (int tick = 1; wait4(pid, &status, WNOHANG, &usage) == 0; ++tick) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (tick % 10 == 0)
            std::printf("  %4d s: RSS %ld KiB, log %ld MiB\n", tick, RssKiB(pid),
                        static_cast<long>(std::ifstream(log, std::ios::ate).tellg() >> 20));
        std::fflush(stdout);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    std::size_t lines = 0;
    {
        std::ifstream in(log);
        std::string line;
        while (std::getline(in, line))
            ++lines;
    }
    std::printf("  exit %d; %zu frames, %.0f frames/s; CPU %.1f%% of one core (%.2f us per "
                "frame); max RSS %ld KiB\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, lines, lines / wall,
                cpu / wall * 100.0, lines ? cpu / double(lines) * 1e6 : 0.0, usage.ru_maxrss);
    std::printf("  its report:\n%s", ReadFile(err).c_str());
}

// Frames lost to full receive buffers since the adapter started, as the
// controller status reports them (saturates at 255).
unsigned Overruns(int channel) {
    VciCanStatus status{};
    return VCI_ReadCANStatus(4, 0, static_cast<std::uint32_t>(channel), &status) == 1 ? status.extra
                                                                                      : 9999;
}

void MonitorPhase(const tessel::test::DeviceDir& dir, int seconds) {
    CAdapterZlg adapter;
    for (int i = 0; i < 2; ++i)
        adapter.GetSettings(i)->Rate = 1000000;
    for (int i = 0; i < 2; ++i) {
        if (!adapter.OpenChannel(i)) {
            std::printf("channel %d: %s\n", i, adapter.GetLastError().c_str());
            return;
        }
    }
    // Entries the trace holds grow by design (32 bytes each, no upper bound);
    // the memory that matters for recording is what comes on top of them.
    auto traced = [&adapter] {
        return std::int64_t(adapter.GetTraceList(0)->Count()) + adapter.GetTraceList(1)->Count();
    };
    for (bool recording : {false, true}) {
        std::unique_ptr<TTraceRecorder> recorder;
        std::unique_ptr<TTraceRecordingFeed> feed;
        std::string error;
        if (recording) {
            recorder = TTraceRecorder::Start(dir.path() + "/monitor.log", canlog::Format::Candump,
                                             platform::WallClockUs(), error);
            if (!recorder) {
                std::printf("recorder: %s\n", error.c_str());
                return;
            }
            feed = std::make_unique<TTraceRecordingFeed>(
                *recorder,
                std::vector<TCorvexTraceList*>{adapter.GetTraceList(0), adapter.GetTraceList(1)});
        }
        // Counted from the moment the feed starts: what came before is not the
        // recording's.
        const std::int64_t tracedBefore = traced();
        std::printf("monitor, both channels, %s, %d s:\n",
                    recording ? "recording" : "not recording", seconds);
        const double cpuBefore = CpuSeconds();
        const long rssBefore = RssKiB(getpid());
        const auto start = Clock::now();
        // The window's timer: a feed every 100 ms (longer when feeding takes time).
        for (int step = 1; Clock::now() - start < std::chrono::seconds(seconds); ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (feed)
                feed->Feed();
            if (step % 100 == 0) {
                const std::int64_t entries = traced() - tracedBefore;
                const long rss = RssKiB(getpid());
                std::printf(
                    "  %4d s: RSS %+ld KiB, of which trace entries %+lld KiB, rest %+lld "
                    "KiB%s\n",
                    static_cast<int>(std::chrono::duration<double>(Clock::now() - start).count()),
                    rss - rssBefore, (long long)(entries * 32 / 1024),
                    (long long)(rss - rssBefore - entries * 32 / 1024),
                    recorder ? (", recorded " + std::to_string(recorder->FramesWritten()) +
                                ", dropped " + std::to_string(recorder->FramesDropped()))
                                   .c_str()
                             : "");
                std::fflush(stdout);
            }
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = CpuSeconds() - cpuBefore;
        const std::int64_t frames = traced() - tracedBefore;
        std::printf("  %lld frames, %.0f frames/s; CPU %.1f%% of one core (%.2f us per frame)\n",
                    (long long)frames, frames / wall, cpu / wall * 100.0,
                    frames ? cpu / double(frames) * 1e6 : 0.0);
        if (recorder) {
            feed->Feed();
            const bool ok = recorder->Stop();
            std::printf(
                "  recorded %llu frames, %lld traced since the recording started, dropped %llu, "
                "%llu MiB, %s\n",
                (unsigned long long)recorder->FramesWritten(), (long long)frames,
                (unsigned long long)recorder->FramesDropped(),
                (unsigned long long)(recorder->BytesWritten() >> 20),
                ok ? "written" : "WRITE FAILED");
        }
    }
    std::printf("adapter overruns since its start: channel 0 %u, channel 1 %u (255 = 255 or "
                "more)\n",
                Overruns(0), Overruns(1));
    adapter.CloseChannel(0);
    adapter.CloseChannel(1);
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    int length = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--flood-length") == 0 && i + 1 < argc)
            length = std::atoi(argv[++i]);
        else
            seconds = 0;
    }
    if (seconds <= 0 || length < 0 || length > 8) {
        std::fprintf(stderr, "usage: %s [--seconds N] [--flood-length BYTES]\n", argv[0]);
        return 2;
    }
    tessel::test::DeviceDir dir;
    tessel::test::EmuProcess emu(
        dir, "recording-bench",
        {"--flood", "100", "--flood-length", std::to_string(length), "--separate-buses"});
    std::printf("flood: 100 %% of 1 Mbit/s on each channel's bus, %d-byte frames\n", length);
    DumpPhase(dir, seconds);
    MonitorPhase(dir, seconds);
    for (int channel = 0; channel < 2; ++channel)
        std::remove(
            (platform::ExecutableDir() + "trans_list_zlg_ch" + std::to_string(channel) + ".dat")
                .c_str());
    return 0;
}
