// Runs the main window offscreen with both channels open on two separate
// 1 Mbit/s buses that the virtual adapter floods to the given load, and
// prints how late the window thread's 100 ms timer fired (worst and 99th
// percentile), the CPU the process used, how many frames were lost (gaps in
// the flood's sequence numbers, and what the status bar counts), how many
// trace entries the view shows, the status bar's figures and the resident
// memory. "--page both" switches between the Table and Trace pages every
// second, so that both are painted; --bytes 0 floods with the shortest
// frames; --no-status stops the status bar's updates, to tell what they cost.
//
//   window_bench [--duration SECONDS] [--load PERCENT] [--page table|trace|both]
//                [--bytes 0-8] [--no-status yes]

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "emu_process.h"

#include "adapters/adapter_custom.h"
#include "channel_status_bar.h"
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
    QString Page = QStringLiteral("trace");
    int Bytes = 8;
    bool Status = true;
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
        else if (name == "--bytes")
            options.Bytes = std::clamp(std::atoi(value.c_str()), 0, 8);
        else if (name == "--no-status" && value == "yes")
            options.Status = false;
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
TFloodCount CountFlood(const TCorvexTraceList& trace, int bytes) {
    TFloodCount result;
    bool first = true;
    std::uint32_t previous = 0;
    for (int k = 0; k < trace.Count(); ++k) {
        const TCorvexTraceItem* item = trace.Items(k);
        if (item->IsOutgoing || item->Id != 0x7FF || item->Len != bytes)
            continue;
        ++result.Received;
        if (bytes < 4)
            continue; // no whole sequence number to find gaps in
        const std::uint32_t sequence = item->Data[0] | (item->Data[1] << 8) |
                                       (item->Data[2] << 16) |
                                       (static_cast<std::uint32_t>(item->Data[3]) << 24);
        if (!first && sequence > previous + 1)
            result.Lost += static_cast<long>(sequence - previous - 1);
        first = false;
        previous = sequence;
    }
    return result;
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
                     "       [--bytes 0-8] [--no-status yes]\n",
                     argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    tessel::test::DeviceDir deviceDir;
    tessel::test::EmuProcess emu(deviceDir, "bench",
                                 {"--separate-buses", "--flood",
                                  std::to_string(options.LoadPercent), "--flood-length",
                                  std::to_string(options.Bytes)});
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
    QElapsedTimer wall;
    wall.start();
    application.exec();
    const double cpuPercent =
        100.0 * (ProcessCpuSeconds() - cpuStart) / (static_cast<double>(wall.elapsed()) / 1000.0);
    probe.stop();

    const int shownLines = window->mTrace->LineCount();
    window->DisconnectChannel(0, false);
    window->DisconnectChannel(1, false);
    window->FTableView->ApplyPendingChanges();

    std::printf("window_bench: %d s, both channels at %d %% of 1 Mbit/s, %d-byte frames, "
                "%s page shown, status bar %s\n",
                options.DurationSeconds, options.LoadPercent, options.Bytes,
                qPrintable(options.Page), options.Status ? "live" : "stopped");
    std::printf("timer lateness: worst %.1f ms, 99th percentile %.1f ms, median %.1f ms "
                "(%zu ticks)\n",
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()),
                Percentile(lateness, 0.99), Percentile(lateness, 0.5), lateness.size());
    std::printf("process CPU: %.0f %% of one core\n", cpuPercent);
    std::printf("status bar: %s | %s\n", qPrintable(status0), qPrintable(status1));
    for (int channel = 0; channel < 2; ++channel) {
        const TFloodCount flood =
            CountFlood(*window->Adapter()->GetTraceList(channel), options.Bytes);
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
