// Soak: both channels of the ZLG adapter at 100 % load of a 1 Mbit/s bus for
// ten minutes, through the real library and a ulmar-emu flood. Every minute
// the emulator is stopped (the adapter goes away); the benchmark waits until
// the monitor reports the adapter lost, closes both channels, starts the
// emulator again under the same name and reopens them, clearing the traces as
// the window does on opening. Prints every 10 s the resident memory and heap
// in use, and at the end the frames lost outside the outages and the reopens.
//
//   soak_bench [--seconds N] [--outage-every N]   (defaults 600 and 60)
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "adapters/zlg_adapter.h"
#include "emu_process.h"
#include "flood_trace.h"
#include "platform/executable_dir.h"
#include "views/frame_table.h"
#include "views/trace_list.h"
#include "wait_until.h"

using tessel::test::WaitUntil;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kAdapterName = "soak";

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double MiB(size_t bytes) {
    return double(bytes) / (1024.0 * 1024.0);
}

bool ParseArguments(int argc, char** argv, int& seconds, int& every) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--outage-every") == 0 && i + 1 < argc) {
            every = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return seconds > 0 && every > 0;
}

void RemoveTransmitLists() {
    for (int channel = 0; channel < 2; ++channel) {
        std::remove(
            (platform::ExecutableDir() + "trans_list_zlg_ch" + std::to_string(channel) + ".dat")
                .c_str());
    }
}

struct TTotals {
    uint64_t Frames = 0;
    uint64_t Lost = 0;
    uint64_t Damaged = 0;
    uint64_t OutOfOrder = 0;
    int Outages = 0;
    int Detected = 0;
    int ReopenSuccesses = 0;
    int ReopenFailures = 0;
};

// Adds what the traces show of the run since the last opening; the traces
// hold exactly that run, because they are cleared on every opening.
void CountSegment(CAdapterZlg& adapter, TTotals& totals) {
    for (int i = 0; i < 2; ++i) {
        const emu::FloodChecker count = bench::checkFloodTrace(*adapter.GetTraceList(i), {});
        totals.Frames += count.frames();
        totals.Lost += count.lost();
        totals.Damaged += count.damaged();
        totals.OutOfOrder += count.outOfOrder();
    }
}

// Opens both channels, trying a few times while the adapter settles, and
// starts them on empty traces and tables as the window does.
bool OpenBoth(CAdapterZlg& adapter) {
    for (int i = 0; i < 2; ++i) {
        bool open = false;
        for (int attempt = 0; attempt < 5 && !open; ++attempt) {
            open = adapter.OpenChannel(i);
            if (!open) {
                std::printf("    channel %d: %s, trying again\n", i,
                            adapter.GetLastError().c_str());
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
        }
        if (!open) {
            return false;
        }
        adapter.GetTraceList(i)->Clear();
        adapter.GetFrameTable(i)->Clear();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 600;
    int every = 60;
    if (!ParseArguments(argc, argv, seconds, every)) {
        std::fprintf(stderr, "usage: %s [--seconds N] [--outage-every N]   (defaults 600, 60)\n",
                     argv[0]);
        return 2;
    }
    const std::vector<std::string> floodArgs{"--flood", "100"};
    tessel::test::DeviceDir dir;
    std::optional<tessel::test::EmuProcess> emu(std::in_place, dir, kAdapterName, floodArgs);
    RemoveTransmitLists();

    TTotals totals;
    int exitCode = 0;
    {
        CAdapterZlg adapter;
        for (int i = 0; i < 2; ++i) {
            adapter.GetSettings(i)->Rate = 1000000;
        }
        if (!OpenBoth(adapter)) {
            std::fprintf(stderr, "cannot open the channels: %s\n", adapter.GetLastError().c_str());
            return 1;
        }
        std::printf("soak: both channels at 1 Mbit/s full load for %d s, adapter dropped every "
                    "%d s\n",
                    seconds, every);
        const auto start = Clock::now();
        auto nextReport = start + std::chrono::seconds(10);
        auto nextOutage = start + std::chrono::seconds(every);
        const auto end = start + std::chrono::seconds(seconds);
        size_t firstSettledHeap = 0;
        while (Clock::now() < end) {
            std::this_thread::sleep_until(std::min(nextReport, nextOutage));
            const auto now = Clock::now();
            if (now >= nextReport) {
                const auto elapsed =
                    std::chrono::duration_cast<std::chrono::seconds>(now - start).count();
                std::printf("  %4lld s: resident %.1f MiB, heap %.1f MiB, trace %d + %d entries\n",
                            static_cast<long long>(elapsed), MiB(ResidentBytes()), MiB(HeapInUse()),
                            adapter.GetTraceList(0)->Count(), adapter.GetTraceList(1)->Count());
                std::fflush(stdout);
                nextReport += std::chrono::seconds(10);
            }
            if (now >= nextOutage && now < end) {
                ++totals.Outages;
                emu.reset();
                const bool lost = WaitUntil(
                    [&] {
                        return adapter.GetChannelFault(0) == "Adapter lost" &&
                               adapter.GetChannelFault(1) == "Adapter lost";
                    },
                    std::chrono::seconds(30));
                totals.Detected += lost ? 1 : 0;
                adapter.CloseChannel(0);
                adapter.CloseChannel(1);
                CountSegment(adapter, totals);
                emu.emplace(dir, kAdapterName, floodArgs);
                const bool reopened = OpenBoth(adapter);
                (reopened ? totals.ReopenSuccesses : totals.ReopenFailures)++;
                // The traces were just emptied: what the heap holds now beyond
                // the first such point is growth that is not trace.
                malloc_trim(0);
                const size_t heap = HeapInUse();
                if (firstSettledHeap == 0) {
                    firstSettledHeap = heap;
                }
                std::printf("    outage %d: lost reported %s, reopened %s; heap after clearing "
                            "%.2f MiB (%+.2f MiB since the first outage)\n",
                            totals.Outages, lost ? "yes" : "NO", reopened ? "yes" : "NO", MiB(heap),
                            MiB(heap) - MiB(firstSettledHeap));
                std::fflush(stdout);
                nextOutage = Clock::now() + std::chrono::seconds(every);
            }
        }
        adapter.CloseChannel(0);
        adapter.CloseChannel(1);
        CountSegment(adapter, totals);
    }
    std::printf("frames %llu, lost outside the outages %llu, damaged %llu, out of order %llu\n",
                (unsigned long long)totals.Frames, (unsigned long long)totals.Lost,
                (unsigned long long)totals.Damaged, (unsigned long long)totals.OutOfOrder);
    std::printf("outages %d, loss reported %d, reopen successes %d, failures %d\n", totals.Outages,
                totals.Detected, totals.ReopenSuccesses, totals.ReopenFailures);
    if (totals.Lost != 0 || totals.Damaged != 0 || totals.OutOfOrder != 0 ||
        totals.ReopenFailures != 0 || totals.Detected != totals.Outages || totals.Frames == 0) {
        exitCode = 1;
    }
    RemoveTransmitLists();
    return exitCode;
}
