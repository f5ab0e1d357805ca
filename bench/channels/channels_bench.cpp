// Both channels of the ZLG adapter at 100 % load of a 1 Mbit/s bus: the
// emulator floods the bus, the real library and the monitor's receive threads
// carry every frame into the trace lists and frame tables. Prints the frame
// rate per channel, frames lost on the way, CPU time per frame of this
// process (the whole monitor side) and heap bytes per trace entry.
//
//   channels_bench [--seconds N]   (default 60)
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
#include "flood_check.h"
#include "platform/executable_dir.h"
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

bool ParseSeconds(int argc, char** argv, int& seconds) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return seconds > 0;
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
    if (!ParseSeconds(argc, argv, seconds)) {
        std::fprintf(stderr, "usage: %s [--seconds N]   (default 60)\n", argv[0]);
        return 2;
    }
    tessel::test::DeviceDir dir;
    tessel::test::EmuProcess emu(dir, "channels-bench", {"--flood", "100"});
    RemoveTransmitLists();

    int exitCode = 0;
    {
        CAdapterZlg adapter;
        for (int i = 0; i < 2; ++i) {
            adapter.GetSettings(i)->Rate = 1000000;
        }
        const size_t heapBefore = HeapInUse();
        const double cpuBefore = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 2; ++i) {
            if (!adapter.OpenChannel(i)) {
                std::fprintf(stderr, "channel %d: %s\n", i, adapter.GetLastError().c_str());
                return 1;
            }
        }
        std::printf("flooding both channels at 1 Mbit/s for %d s\n", seconds);
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
        const size_t heapAfter = HeapInUse();

        uint64_t frames = 0;
        uint64_t entries = 0;
        for (int i = 0; i < 2; ++i) {
            const TFloodCount count = CheckFlood(*adapter.GetTraceList(i));
            frames += count.Frames;
            entries += uint64_t(adapter.GetTraceList(i)->Count());
            std::printf("channel %d: %.0f frames/s, %llu frames, lost %llu, damaged %llu, "
                        "out of order %llu, table rows %d\n",
                        i, count.Frames / wall, (unsigned long long)count.Frames,
                        (unsigned long long)count.Lost, (unsigned long long)count.Damaged,
                        (unsigned long long)count.OutOfOrder, adapter.GetFrameTable(i)->Count());
            if (count.Lost != 0 || count.Damaged != 0 || count.OutOfOrder != 0 ||
                count.Frames == 0) {
                exitCode = 1;
            }
        }
        std::printf("CPU time per frame (monitor process): %.2f us (%.1f%% of one core)\n",
                    frames ? cpu / double(frames) * 1e6 : 0.0, cpu / wall * 100.0);
        std::printf("heap per trace entry: %.1f bytes (%llu entries)\n",
                    entries ? double(heapAfter - heapBefore) / double(entries) : 0.0,
                    (unsigned long long)entries);
    }
    RemoveTransmitLists();
    return exitCode;
}
