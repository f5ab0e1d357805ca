// Runs the main window offscreen with both channels open on two separate
// 1 Mbit/s buses that the virtual adapter floods to the given load, and
// prints how late the window thread's 100 ms timer fired (worst and 99th
// percentile), the CPU the window process and ulmar-emu used, how many frames
// were lost (from the flood's sequence numbers or identifiers, and what the
// status bar counts), how many trace entries the view shows, the status
// bar's figures and the resident memory.
//   --page both       switches between the Table and Trace pages every
//                     second, so that both are painted;
//   --flood-length, --flood-ids   the flood's frames, as for ulmar-emu;
//   --no-status yes   stops the status bar's updates, to tell what they cost;
//   --prefill N       puts N sent frames into channel 1's trace before the
//                     run (live traffic follows), with memory per entry;
//   --scroll yes      jumps the trace view to a random line every 200 ms;
//   --clear-at S      clears channel 1's trace after S seconds and prints how
//                     long the window's thread took for it.
//
//   window_bench [--duration SECONDS] [--load PERCENT] [--page table|trace|both]
//                [--flood-length 0-8] [--flood-ids fixed|count|random:N[:SEED]]
//                [--no-status yes] [--prefill N] [--scroll yes] [--clear-at S]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "emu_process.h"
#include "flood_options.h"
#include "flood_trace.h"
#include "process_cpu.h"

#include "adapters/adapter_custom.h"
#include "channel_status_bar.h"
#include "frame_table_view.h"
#include "main_window.h"
#include "message_box.h"
#include "model/can_frame.h"
#include "platform/executable_dir.h"
#include "trace_view.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

namespace {

struct TOptions {
    int DurationSeconds = 60;
    int LoadPercent = 100;
    QString Page = QStringLiteral("trace");
    emu::FloodPattern Flood;
    bool Status = true;
    long Prefill = 0;
    bool Scroll = false;
    int ClearAtSeconds = 0; // 0: never
};

bool ParseOptions(int argc, char* argv[], TOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--duration")
            options.DurationSeconds = std::max(1, std::atoi(value.c_str()));
        else if (name == "--load")
            options.LoadPercent = std::clamp(std::atoi(value.c_str()), 1, 100);
        else if (name == "--page" && (value == "table" || value == "trace" || value == "both"))
            options.Page = QString::fromStdString(value);
        else if (name == "--no-status" && value == "yes")
            options.Status = false;
        else if (name == "--prefill")
            options.Prefill = std::clamp(std::atol(value.c_str()), 0L, 100'000'000L);
        else if (name == "--scroll" && value == "yes")
            options.Scroll = true;
        else if (name == "--clear-at")
            options.ClearAtSeconds = std::max(0, std::atoi(value.c_str()));
        else if (!bench::takeFloodOption(name, value, options.Flood))
            return false;
    }
    return argc % 2 == 1;
}

// Kilobytes of a "Vm...:" line of /proc/self/status.
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

// Sent frames in a trace list, as a long session leaves them.
void Prefill(TCorvexTraceList& trace, long count) {
    TCanFrame frame;
    frame.Id = 0x123;
    frame.Len = 8;
    frame.IsStandard = true;
    for (long n = 0; n < count; ++n) {
        frame.Data[0] = static_cast<std::uint8_t>(n);
        frame.TimeStamp = static_cast<std::uint32_t>(n / 10);
        trace.Add(frame, true);
    }
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

void WriteSettings() {
    const std::string file = platform::ExecutableDir() + "Tessel.ini";
    std::ofstream ini(file, std::ios::trunc);
    ini << "[Zlg]\nCanRate_channel0=1000000\nCanMode_channel0=0\n"
           "CanRate_channel1=1000000\nCanMode_channel1=0\n";
    for (int channel = 0; channel < 2; ++channel)
        std::remove(
            (platform::ExecutableDir() + "trans_list_zlg_ch" + std::to_string(channel) + ".dat")
                .c_str());
}

} // namespace

int main(int argc, char* argv[]) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--duration SECONDS] [--load PERCENT] [--page table|trace|both]\n"
                     "       %s\n"
                     "       [--no-status yes] [--prefill N] [--scroll yes] [--clear-at S]\n",
                     argv[0], bench::kFloodUsage);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    tessel::test::DeviceDir deviceDir;
    tessel::test::EmuProcess emu(
        deviceDir, "bench",
        bench::floodArguments(static_cast<unsigned>(options.LoadPercent), options.Flood));
    WriteSettings();

    auto window = std::make_unique<TfmMain>();
    window->show();
    TMessageBoxCapture boxes(true);
    window->ConnectChannel(0);
    window->ConnectChannel(1);
    if (!window->Adapter()->IsChannelOpen(0) || !window->Adapter()->IsChannelOpen(1)) {
        std::fprintf(stderr, "window_bench: opening failed: %s\n",
                     qPrintable(boxes.texts().join(QStringLiteral("; "))));
        return 1;
    }
    if (options.Prefill > 0) {
        // Live frames join both traces meanwhile; they count as entries too.
        const auto entries = [&] {
            return window->Adapter()->GetTraceList(0)->Count() +
                   window->Adapter()->GetTraceList(1)->Count();
        };
        const long rssBefore = StatusKb("VmRSS:");
        const int entriesBefore = entries();
        QElapsedTimer filling;
        filling.start();
        Prefill(*window->Adapter()->GetTraceList(0), options.Prefill);
        const long rssGrowth = StatusKb("VmRSS:") - rssBefore;
        const int added = entries() - entriesBefore;
        std::printf("prefilled %ld trace entries in %.1f s; %d entries added in all, %.2f bytes "
                    "of resident memory each\n",
                    options.Prefill, static_cast<double>(filling.elapsed()) / 1000.0, added,
                    1024.0 * static_cast<double>(rssGrowth) / static_cast<double>(added));
    }
    window->pcData->setCurrentIndex(options.Page == QStringLiteral("table") ? 0 : 1);
    if (!options.Status)
        window->tmStatus->stop();
    QTimer pageSwitch;
    if (options.Page == QStringLiteral("both")) {
        QObject::connect(&pageSwitch, &QTimer::timeout, [&] {
            window->pcData->setCurrentIndex(1 - window->pcData->currentIndex());
        });
        pageSwitch.start(1000);
    }

    QTimer scroller;
    std::mt19937 random(1);
    if (options.Scroll) {
        QObject::connect(&scroller, &QTimer::timeout, [&] {
            QScrollBar* bar = window->mTrace->verticalScrollBar();
            bar->setValue(std::uniform_int_distribution<int>(0, bar->maximum())(random));
        });
        scroller.start(200);
    }
    double clearMs = -1;
    if (options.ClearAtSeconds > 0) {
        QTimer::singleShot(options.ClearAtSeconds * 1000, &application, [&] {
            window->SelectChannel(0);
            QElapsedTimer clearing;
            clearing.start();
            window->ClearTrace();
            clearMs = static_cast<double>(clearing.nsecsElapsed()) / 1e6;
        });
    }

    // A 100 ms timer beside the window's own: how late it fires is how long
    // the window's thread was busy with something else.
    std::vector<double> lateness;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = clock.nsecsElapsed();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(100);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back(std::max(0.0, static_cast<double>(now - lastTick) / 1e6 - 100.0));
        lastTick = now;
    });
    probe.start();
    // The figures are taken before quitting: quitting closes the window,
    // and with it the channels.
    QString status0;
    QString status1;
    QTimer::singleShot(options.DurationSeconds * 1000, &application, [&] {
        status0 = window->FStatusBar->ChannelText(0);
        status1 = window->FStatusBar->ChannelText(1);
        QApplication::quit();
    });
    const double cpuStart = ProcessCpuSeconds();
    const double emuCpuStart = bench::processCpuSeconds(emu.pid());
    QElapsedTimer wall;
    wall.start();
    application.exec();
    const double wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    const double cpuPercent = 100.0 * (ProcessCpuSeconds() - cpuStart) / wallSeconds;
    const double emuCpuPercent =
        100.0 * (bench::processCpuSeconds(emu.pid()) - emuCpuStart) / wallSeconds;
    probe.stop();

    const int shownLines = window->mTrace->LineCount();
    window->DisconnectChannel(0, false);
    window->DisconnectChannel(1, false);
    window->FTableView->ApplyPendingChanges();

    std::printf("window_bench: %d s, both channels at %d %% of 1 Mbit/s, %u-byte frames with "
                "%s, %s page shown, status bar %s\n",
                options.DurationSeconds, options.LoadPercent, options.Flood.length,
                emu::describeFloodIds(options.Flood).c_str(), qPrintable(options.Page),
                options.Status ? "live" : "stopped");
    std::printf("timer lateness: worst %.1f ms, 99th percentile %.1f ms, median %.1f ms "
                "(%zu ticks)\n",
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()),
                Percentile(lateness, 0.99), Percentile(lateness, 0.5), lateness.size());
    std::printf("process CPU: %.1f %% of one core; ulmar-emu: %.1f %%\n", cpuPercent,
                emuCpuPercent);
    if (clearMs >= 0)
        std::printf("Clear trace took %.1f ms on the window's thread\n", clearMs);
    std::printf("status bar: %s | %s\n", qPrintable(status0), qPrintable(status1));
    for (int channel = 0; channel < 2; ++channel) {
        const emu::FloodChecker flood =
            bench::checkFloodTrace(*window->Adapter()->GetTraceList(channel), options.Flood);
        std::printf("channel %d: %llu frames received, %llu lost, %llu damaged, %llu out of "
                    "order (%.1f frames/s)\n",
                    channel + 1, static_cast<unsigned long long>(flood.frames()),
                    static_cast<unsigned long long>(flood.lost()),
                    static_cast<unsigned long long>(flood.damaged()),
                    static_cast<unsigned long long>(flood.outOfOrder()),
                    static_cast<double>(flood.frames()) / options.DurationSeconds);
    }
    std::printf("trace entries shown: %d of %d (channel 1 on display)\n", shownLines,
                window->Adapter()->GetTraceList(0)->Count());
    std::printf("table rows shown: %d of %d\n", window->FTableView->Model()->rowCount(),
                window->Adapter()->GetFrameTable(0)->Count());
    std::printf("resident memory: %ld KiB now, %ld KiB peak\n", StatusKb("VmRSS:"),
                StatusKb("VmHWM:"));

    window->close();
    window.reset();
    return 0;
}
