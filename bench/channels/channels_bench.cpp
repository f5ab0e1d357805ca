// Both channels of the ZLG adapter at 100 % load of their 1 Mbit/s buses:
// the emulator floods each bus, the real library and the monitor's receive
// threads carry every frame into the trace lists and frame tables. Prints
// the frame rate per channel, frames lost on the way, CPU time per frame of
// this process (the whole monitor side) and of ulmar-emu, and heap bytes per
// trace entry.
//
//   channels_bench [--seconds N] [--flood-length 0-8]
//                  [--flood-ids fixed|count|random:N[:SEED]]   (default 60 s, 8 bytes, fixed)
#include <sys/resource.h>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "adapters/zlg_adapter.h"
#include "emu_process.h"
#include "flood_options.h"
#include "flood_trace.h"
#include "platform/executable_dir.h"
#include "process_cpu.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return double(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

bool ParseOptions(int argc, char** argv, int& seconds, emu::FloodPattern& pattern) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--seconds") {
            seconds = std::atoi(value.c_str());
        } else if (!bench::takeFloodOption(name, value, pattern)) {
            return false;
        }
    }
    return argc % 2 == 1 && seconds > 0;
}

void RemoveTransmitLists() {
    for (int channel = 0; channel < 2; ++channel) {
        std::remove(
            (platform::ExecutableDir() + "trans_list_zlg_ch" + std::to_string(channel) + ".dat")
                .c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    emu::FloodPattern pattern;
    if (!ParseOptions(argc, argv, seconds, pattern)) {
        std::fprintf(stderr, "usage: %s [--seconds N] %s\n", argv[0], bench::kFloodUsage);
        return 2;
    }
    tessel::test::DeviceDir dir;
    tessel::test::EmuProcess emu(dir, "channels-bench", bench::floodArguments(100, pattern));
    RemoveTransmitLists();

    int exitCode = 0;
    {
        CAdapterZlg adapter;
        for (int i = 0; i < 2; ++i) {
            adapter.GetSettings(i)->Rate = 1000000;
        }
        const size_t heapBefore = HeapInUse();
        const double cpuBefore = CpuSeconds();
        const double emuCpuBefore = bench::processCpuSeconds(emu.pid());
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 2; ++i) {
            if (!adapter.OpenChannel(i)) {
                std::fprintf(stderr, "channel %d: %s\n", i, adapter.GetLastError().c_str());
                return 1;
            }
        }
        std::printf("flooding both channels at 1 Mbit/s for %d s: %u-byte frames, %s\n", seconds,
                    pattern.length, emu::describeFloodIds(pattern).c_str());
        for (int elapsed = 0; elapsed < seconds; ++elapsed) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if ((elapsed + 1) % 10 == 0) {
                std::printf("  %3d s: %d + %d trace entries\n", elapsed + 1,
                            adapter.GetTraceList(0)->Count(), adapter.GetTraceList(1)->Count());
                std::fflush(stdout);
            }
        }
        // Closing stops each channel's threads; how long that takes under
        // full load is a figure for users of the Close button.
        const auto closing = std::chrono::steady_clock::now();
        adapter.CloseChannel(0);
        adapter.CloseChannel(1);
        std::printf(
            "closing both channels under load took %.1f ms\n",
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - closing)
                .count());
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = CpuSeconds() - cpuBefore;
        const double emuCpu = bench::processCpuSeconds(emu.pid()) - emuCpuBefore;
        const size_t heapAfter = HeapInUse();

        uint64_t frames = 0;
        uint64_t entries = 0;
        for (int i = 0; i < 2; ++i) {
            const emu::FloodChecker count =
                bench::checkFloodTrace(*adapter.GetTraceList(i), pattern);
            frames += count.frames();
            entries += uint64_t(adapter.GetTraceList(i)->Count());
            std::printf("channel %d: %.0f frames/s, %llu frames, lost %llu, damaged %llu, "
                        "out of order %llu, table rows %d\n",
                        i, count.frames() / wall, (unsigned long long)count.frames(),
                        (unsigned long long)count.lost(), (unsigned long long)count.damaged(),
                        (unsigned long long)count.outOfOrder(), adapter.GetFrameTable(i)->Count());
            if (count.lost() != 0 || count.damaged() != 0 || count.outOfOrder() != 0 ||
                count.frames() == 0) {
                exitCode = 1;
            }
        }
        std::printf("CPU time per frame (monitor process): %.2f us (%.1f%% of one core)\n",
                    frames ? cpu / double(frames) * 1e6 : 0.0, cpu / wall * 100.0);
        std::printf("CPU time of ulmar-emu: %.2f us per frame (%.1f%% of one core)\n",
                    frames ? emuCpu / double(frames) * 1e6 : 0.0, emuCpu / wall * 100.0);
        std::printf("heap per trace entry: %.1f bytes (%llu entries)\n",
                    entries ? double(heapAfter - heapBefore) / double(entries) : 0.0,
                    (unsigned long long)entries);
    }
    RemoveTransmitLists();
    return exitCode;
}
