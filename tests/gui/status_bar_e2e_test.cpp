// The status bar against the virtual adapter: the load of a known flood, the
// frames the adapter lost, the error counters and controller states it
// reports, and every figure shown as text.

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"

#include "adapters/adapter_custom.h"
#include "channel_frame.h"
#include "channel_status_bar.h"
#include "main_window.h"
#include "message_box.h"
#include "views/trace_list.h"

namespace {
constexpr int kWaitMs = 20000;
constexpr int kOverrunEvery = 50;
} // namespace

class StatusBarE2eTest : public QObject {
    Q_OBJECT

    std::unique_ptr<tessel::test::DeviceDir> FDeviceDir;
    std::unique_ptr<tessel::test::EmuProcess> FEmu;
    std::unique_ptr<TfmMain> FWindow;

    const TChannelHealth& Health(int channel) const { return FWindow->FStatusBar->Health(channel); }
    QString Text(int channel) const { return FWindow->FStatusBar->ChannelText(channel); }

    // Load in percent of the flood frames in channel 0's trace over the
    // meter's window before the newest one, from their adapter time stamps.
    double SentLoad() const {
        const TCorvexTraceList* trace = FWindow->Adapter()->GetTraceList(0);
        const int last = trace->Count() - 1;
        if (last < 0)
            return 0;
        const std::uint32_t end = trace->Items(last)->TimeStamp;
        long frames = 0;
        for (int k = last; k >= trace->First(); --k) {
            if (end - trace->Items(k)->TimeStamp >= TBusMeter::WindowMs)
                break;
            ++frames;
        }
        return 100.0 * frames * 135 / (TBusMeter::WindowMs / 1000.0 * 250'000);
    }

private slots:
    void initTestCase() {
        guitest::RemoveStoredFiles();
        FDeviceDir = std::make_unique<tessel::test::DeviceDir>();
        // Channel 0 error-passive and losing every 50th frame under a 50 %
        // flood; channel 1 bus-off on a bus of its own.
        FEmu = std::make_unique<tessel::test::EmuProcess>(
            *FDeviceDir, "status",
            std::vector<std::string>{"--flood", "50", "--separate-buses", "--overrun-every", "50@0",
                                     "--tx-errors", "130@0", "--bus-off", "1"});
        FWindow = std::make_unique<TfmMain>();
        FWindow->show();
    }

    void closedChannelsSayClosed() {
        QCOMPARE(Text(0), QStringLiteral("#1  closed"));
        QCOMPARE(Text(1), QStringLiteral("#2  closed"));
        QVERIFY(FWindow->FStatusBar->findChild<QLabel*>(QStringLiteral("lbChannelStatus1"))
                    ->isVisible());
        QVERIFY(!FWindow->FStatusBar->findChild<QLabel*>(QStringLiteral("lbChannelStatus2"))
                     ->isVisible());
    }

    // The load shown must agree within two points, three samples in a row,
    // with what the emulator sent: the flood's 135-bit frames that reached
    // the trace within the meter's window (nominally half the bus time at
    // 250 kbit/s, less the one frame in 50 lost; a busy machine may slow the
    // emulator's flood).
    void loadMatchesTheFlood() {
        FWindow->ChannelFrame(0)->btPort->click();
        QVERIFY(FWindow->Adapter()->IsChannelOpen(0));
        int inRange = 0;
        QElapsedTimer waited;
        waited.start();
        QList<double> seen;
        while (inRange < 3 && waited.elapsed() < kWaitMs) {
            QTest::qWait(TChannelStatusBar::UpdateIntervalMs + 50);
            const double load = Health(0).LoadPercent;
            const double sent = SentLoad();
            seen.append(load);
            seen.append(sent);
            inRange = sent > 10.0 && std::abs(load - sent) <= 2.0 ? inRange + 1 : 0;
        }
        QVERIFY2(inRange >= 3, qPrintable(QStringLiteral("loads seen: %1").arg([&] {
                     QStringList texts;
                     for (double v : seen)
                         texts.append(QString::number(v, 'f', 2));
                     return texts.join(QStringLiteral(", "));
                 }())));
        // Every flood frame takes 135 bits at 250 kbit/s: rate and load agree.
        const TChannelHealth health = Health(0);
        QVERIFY(std::abs(health.FramesPerSecond * 135 / 250'000 * 100 - health.LoadPercent) < 0.01);
    }

    // One arriving frame in fifty is lost in the adapter: the lost count
    // follows the received count, give or take what one status poll trails.
    void overrunsAndErrorPassiveShow() {
        QTRY_VERIFY_WITH_TIMEOUT(Health(0).Lost >= 20, kWaitMs);
        const TChannelHealth health = Health(0);
        const double expected = static_cast<double>(health.Received) / (kOverrunEvery - 1);
        QVERIFY2(
            std::abs(static_cast<double>(health.Lost) - expected) <= 10 + expected * 0.05,
            qPrintable(
                QStringLiteral("lost %1 of %2 received").arg(health.Lost).arg(health.Received)));
        QCOMPARE(health.Sent, 0u);
        QCOMPARE(health.Controller.State, TControllerState::ErrorPassive);
        QVERIFY(Text(0).contains(QStringLiteral("lost ") + QString::number(health.Lost)));
        QVERIFY(Text(0).endsWith(QStringLiteral("err 0/130  Error passive")));
    }

    void busOffShows() {
        FWindow->ChannelFrame(1)->btPort->click();
        QVERIFY(FWindow->Adapter()->IsChannelOpen(1));
        QTRY_VERIFY_WITH_TIMEOUT(Text(1).endsWith(QStringLiteral("err 0/255  Bus off")), kWaitMs);
        QCOMPARE(Health(1).Received, 0u);
    }

    void closingShowsClosedAgain() {
        FWindow->ChannelFrame(1)->btPort->click();
        QTRY_COMPARE_WITH_TIMEOUT(Text(1), QStringLiteral("#2  closed"), kWaitMs);
    }

    void cleanupTestCase() {
        {
            TMessageBoxCapture yes(true);
            FWindow->close();
        }
        FWindow.reset();
        FEmu.reset();
        guitest::RemoveStoredFiles();
    }
};

QTEST_MAIN(StatusBarE2eTest)
#include "status_bar_e2e_test.moc"
