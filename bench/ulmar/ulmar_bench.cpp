// Frame transfer through Ulmar and the virtual adapter: frames per second,
// CPU time per frame and frames lost, for VCI_Transmit and VCI_Receive on
// both channels, first with the bus model off (as fast as the link allows),
// then at full load of a 1 Mbit/s bus.
#include "emu_process.h"
#include "flood_options.h"
#include "process_cpu.h"
#include "transfer_workers.h"
#include "ulmar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using namespace ulmar::bench;
using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

namespace {

struct Settings {
    std::uint64_t linkFrames = 200000; // per direction, bus model off
    double loadSeconds = 5.0;          // per scenario at full bus load
    emu::FloodPattern flood;           // of the bus-rx scenario
    std::string scenario = "all";
};

const char* kHelp = "Usage: ulmar_bench [--frames N] [--seconds S] [--scenario NAME]\n"
                    "                   [--flood-length 0-8] [--flood-ids PATTERN] [--help]\n"
                    "\n"
                    "Starts ulmar-emu in a private device directory and measures Ulmar's frame\n"
                    "transfer through it, one thread per pipe, both channels at 1 Mbit/s:\n"
                    "  link      bus model off (--no-bus-timing): each channel transmits N frames\n"
                    "            to the other as fast as the link allows while both receive.\n"
                    "  bus-tx    bus model on, each channel alone on its own bus: both channels\n"
                    "            transmit for S seconds as fast as VCI_Transmit takes frames, so\n"
                    "            both buses run at 100 % load.\n"
                    "  bus-rx    bus model on, each channel alone on its own bus: a simulated\n"
                    "            node loads every bus to 100 % (--flood 100) for S seconds; both\n"
                    "            channels receive. Also prints ulmar-emu's CPU time.\n"
                    "For every VCI_Transmit and VCI_Receive thread it prints frames per second\n"
                    "(frames moved / the thread's busy time), CPU time per frame (the thread's\n"
                    "user + system time / frames) and frames lost (refused by VCI_Transmit, or\n"
                    "numbered frames that never arrived).\n"
                    "\n"
                    "  --frames N    frames per direction in the link scenario (default 200000)\n"
                    "  --seconds S   length of each bus scenario in seconds (default 5)\n"
                    "  --scenario NAME  link, bus-tx, bus-rx or all (default all)\n"
                    "  --flood-length BYTES, --flood-ids fixed|count|random:N[:SEED]\n"
                    "                the flood of bus-rx, as for ulmar-emu (default 8, fixed);\n"
                    "                count and random show every lost frame at any length\n"
                    "  --help        show this text\n";

bool parse(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc)
            return false;
        if (arg == "--frames")
            settings.linkFrames = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--seconds")
            settings.loadSeconds = std::strtod(argv[++i], nullptr);
        else if (arg == "--scenario")
            settings.scenario = argv[++i];
        else if (!bench::takeFloodOption(arg, argv[++i], settings.flood))
            return false;
    }
    const bool known = settings.scenario == "all" || settings.scenario == "link" ||
                       settings.scenario == "bus-tx" || settings.scenario == "bus-rx";
    return known && settings.linkFrames > 0 && settings.loadSeconds > 0;
}

void printHeader() {
    std::printf("%-8s %-12s %10s %12s %14s %10s\n", "scenario", "call", "frames", "frames/s",
                "CPU us/frame", "lost");
}

void printRow(const char* scenario, const std::string& call, const Measurement& m) {
    const double fps = m.wallSeconds > 0 ? static_cast<double>(m.frames) / m.wallSeconds : 0;
    const double cpu = m.frames > 0 ? m.cpuSeconds * 1e6 / static_cast<double>(m.frames) : 0;
    std::printf("%-8s %-12s %10llu %12.0f %14.2f %10llu\n", scenario, call.c_str(),
                static_cast<unsigned long long>(m.frames), fps, cpu,
                static_cast<unsigned long long>(m.lost));
}

bool openAndStart() {
    if (VCI_OpenDevice(4, 0, 0) != 1)
        return false;
    VciInitConfig config{};
    config.acceptMask = 0xFFFFFFFF;
    config.btr0 = 0x00; // 1 Mbit/s
    config.btr1 = 0x14;
    for (std::uint32_t channel : {0u, 1u}) {
        if (VCI_InitCAN(4, 0, channel, &config) != 1 || VCI_StartCAN(4, 0, channel) != 1)
            return false;
    }
    return true;
}

void stopAndClose() {
    VCI_ResetCAN(4, 0, 0);
    VCI_ResetCAN(4, 0, 1);
    VCI_CloseDevice(4, 0);
}

// Both channels send to each other while both receive.
bool runBothWays(const char* scenario, std::uint64_t frames) {
    const Clock::time_point until = Clock::time_point::max() - std::chrono::hours(1);
    if (!openAndStart())
        return false;
    std::atomic<bool> done0{false};
    std::atomic<bool> done1{false};
    Sender send0{0, 0, frames, until, done0, {}};
    Sender send1{0, 1, frames, until, done1, {}};
    const auto receiveUntil = until + std::chrono::seconds(5);
    Receiver receive1{0, 1, receiveUntil, &done0, &send0, {}, {}};
    Receiver receive0{0, 0, receiveUntil, &done1, &send1, {}, {}};
    std::thread threads[] = {std::thread([&] { send0.run(); }), std::thread([&] { send1.run(); }),
                             std::thread([&] { receive1.run(); }),
                             std::thread([&] { receive0.run(); })};
    for (std::thread& thread : threads)
        thread.join();
    stopAndClose();
    printRow(scenario, "Transmit ch0", send0.result);
    printRow(scenario, "Transmit ch1", send1.result);
    printRow(scenario, "Receive ch0", receive0.result);
    printRow(scenario, "Receive ch1", receive1.result);
    return true;
}

// Both channels transmit, each onto its own bus, for as long as allowed.
bool runTransmitOnly(const char* scenario, Clock::time_point until) {
    if (!openAndStart())
        return false;
    std::atomic<bool> done0{false};
    std::atomic<bool> done1{false};
    Sender send0{0, 0, ~0ull, until, done0, {}};
    Sender send1{0, 1, ~0ull, until, done1, {}};
    std::thread first([&] { send0.run(); });
    std::thread second([&] { send1.run(); });
    first.join();
    second.join();
    stopAndClose();
    printRow(scenario, "Transmit ch0", send0.result);
    printRow(scenario, "Transmit ch1", send1.result);
    return true;
}

// Both channels receive what simulated nodes flood onto their buses.
bool runFlood(const char* scenario, Clock::time_point until, const emu::FloodPattern& flood,
              const EmuProcess& emu) {
    if (!openAndStart())
        return false;
    const double emuStart = bench::processCpuSeconds(emu.pid());
    Receiver receive0{0, 0, until, nullptr, nullptr, flood, {}};
    Receiver receive1{0, 1, until, nullptr, nullptr, flood, {}};
    std::thread first([&] { receive0.run(); });
    std::thread second([&] { receive1.run(); });
    first.join();
    second.join();
    const double emuCpu = bench::processCpuSeconds(emu.pid()) - emuStart;
    stopAndClose();
    printRow(scenario, "Receive ch0", receive0.result);
    printRow(scenario, "Receive ch1", receive1.result);
    const double wall = std::max(receive0.result.wallSeconds, receive1.result.wallSeconds);
    const auto frames = receive0.result.frames + receive1.result.frames;
    std::printf("%-8s %-12s %10llu %12s %14.2f %10s  (%.1f %% of one core)\n", scenario,
                "ulmar-emu", static_cast<unsigned long long>(frames), "",
                frames > 0 ? emuCpu * 1e6 / static_cast<double>(frames) : 0.0, "",
                wall > 0 ? 100.0 * emuCpu / wall : 0.0);
    return true;
}

Clock::time_point after(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    try {
        DeviceDir dir;
        printHeader();
        bool ok = true;
        const auto runs = [&](const char* scenario) {
            return settings.scenario == "all" || settings.scenario == scenario;
        };
        if (runs("link")) {
            EmuProcess emu(dir, "bench-link", {"--no-bus-timing"});
            ok = ok && runBothWays("link", settings.linkFrames);
        }
        if (runs("bus-tx")) {
            EmuProcess emu(dir, "bench-bus", {"--separate-buses"});
            ok = ok && runTransmitOnly("bus-tx", after(settings.loadSeconds));
        }
        if (runs("bus-rx")) {
            EmuProcess emu(dir, "bench-flood", bench::floodArguments(100, settings.flood));
            ok = ok && runFlood("bus-rx", after(settings.loadSeconds), settings.flood, emu);
        }
        if (!ok) {
            std::fputs("ulmar_bench: could not open and start the virtual adapter\n", stderr);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ulmar_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
