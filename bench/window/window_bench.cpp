// Runs the main window offscreen with both channels open on two separate
// 1 Mbit/s buses that the virtual adapter floods to the given load, and
// prints how late the window thread's 100 ms timer fired (worst and 99th
// percentile), how many frames were lost (gaps in the flood's sequence
// numbers), how many trace entries the view shows, and the resident memory.
//
//   window_bench [--duration SECONDS] [--load PERCENT] [--page table|trace]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "emu_process.h"

#include "adapters/adapter_custom.h"
#include "frame_table_view.h"
#include "main_window.h"
#include "message_box.h"
#include "platform/executable_dir.h"
#include "trace_view.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

namespace {

struct TOptions {
    int DurationSeconds = 60;
    int LoadPercent = 100;
    bool TracePage = true;
};

bool ParseOptions(int argc, char* argv[], TOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--duration")
            options.DurationSeconds = std::max(1, std::atoi(value.c_str()));
        else if (name == "--load")
            options.LoadPercent = std::clamp(std::atoi(value.c_str()), 1, 100);
        else if (name == "--page" && (value == "table" || value == "trace"))
            options.TracePage = value == "trace";
        else
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

struct TFloodCount {
    long Received = 0;
    long Lost = 0;
};

// The flood's frames carry a sequence number in bytes 0-3; a jump forward by
// more than one is a run of lost frames.
TFloodCount CountFlood(const TCorvexTraceList& trace) {
    TFloodCount result;
    bool first = true;
    std::uint32_t previous = 0;
    for (int k = 0; k < trace.Count(); ++k) {
        const TCorvexTraceItem* item = trace.Items(k);
        if (item->IsOutgoing || item->Id != 0x7FF || item->Len != 8)
            continue;
        const std::uint32_t sequence = item->Data[0] | (item->Data[1] << 8) |
                                       (item->Data[2] << 16) |
                                       (static_cast<std::uint32_t>(item->Data[3]) << 24);
        if (!first && sequence > previous + 1)
            result.Lost += static_cast<long>(sequence - previous - 1);
        first = false;
        previous = sequence;
        ++result.Received;
    }
    return result;
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
                     "usage: %s [--duration SECONDS] [--load PERCENT] [--page table|trace]\n",
                     argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    tessel::test::DeviceDir deviceDir;
    tessel::test::EmuProcess emu(
        deviceDir, "bench", {"--separate-buses", "--flood", std::to_string(options.LoadPercent)});
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
    window->pcData->setCurrentIndex(options.TracePage ? 1 : 0);

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
    QTimer::singleShot(options.DurationSeconds * 1000, &application, &QApplication::quit);
    application.exec();
    probe.stop();

    const int shownLines = window->mTrace->LineCount();
    window->DisconnectChannel(0, false);
    window->DisconnectChannel(1, false);
    window->FTableView->ApplyPendingChanges();

    std::printf("window_bench: %d s, both channels at %d %% of 1 Mbit/s, %s page shown\n",
                options.DurationSeconds, options.LoadPercent,
                options.TracePage ? "Trace" : "Table");
    std::printf("timer lateness: worst %.1f ms, 99th percentile %.1f ms, median %.1f ms "
                "(%zu ticks)\n",
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()),
                Percentile(lateness, 0.99), Percentile(lateness, 0.5), lateness.size());
    for (int channel = 0; channel < 2; ++channel) {
        const TFloodCount flood = CountFlood(*window->Adapter()->GetTraceList(channel));
        std::printf("channel %d: %ld frames received, %ld lost (%.1f frames/s)\n", channel + 1,
                    flood.Received, flood.Lost,
                    static_cast<double>(flood.Received) / options.DurationSeconds);
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
