// The window when its adapter goes and comes back: the virtual adapter is
// stopped while a channel is open, the channel frame and the log say so, the
// trace keeps what came in, and the channel closes and opens again once the
// adapter is back, without a restart and without an error box.

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"

#include "adapters/adapter_custom.h"
#include "channel_frame.h"
#include "main_window.h"
#include "message_box.h"
#include "views/trace_list.h"

namespace {
constexpr int kWaitMs = 20000;
} // namespace

class MainWindowReconnectE2eTest : public QObject {
    Q_OBJECT

    std::unique_ptr<tessel::test::DeviceDir> FDeviceDir;
    std::unique_ptr<tessel::test::EmuProcess> FEmu;
    std::unique_ptr<TfmMain> FWindow;

    TfrChannelMan* Frame() { return FWindow->ChannelFrame(0); }
    TCorvexTraceList* Trace() { return FWindow->Adapter()->GetTraceList(0); }
    void StartEmulator() {
        FEmu = std::make_unique<tessel::test::EmuProcess>(*FDeviceDir, "gui-reconnect",
                                                          std::vector<std::string>{"--demo"});
    }

private slots:
    void initTestCase() {
        guitest::RemoveStoredFiles();
        FDeviceDir = std::make_unique<tessel::test::DeviceDir>();
        StartEmulator();
        FWindow = std::make_unique<TfmMain>();
        FWindow->show();
    }

    void lostAdapterIsShownAndTheChannelOpensAgainOnceItIsBack() {
        TMessageBoxCapture boxes;
        Frame()->btPort->click();
        QCOMPARE(Frame()->btPort->text(), QStringLiteral("Close channel"));
        QTRY_VERIFY_WITH_TIMEOUT(Trace()->Count() > 0, kWaitMs);

        FEmu.reset();
        QTRY_COMPARE_WITH_TIMEOUT(Frame()->Fault(), QStringLiteral("Adapter lost"), kWaitMs);
        QCOMPARE(Frame()->gbMain->title(), QStringLiteral("Channel #1 - Adapter lost"));
        QTRY_VERIFY_WITH_TIMEOUT(
            FWindow->mLog->toPlainText().contains(QStringLiteral("** Adapter lost")), kWaitMs);
        const int captured = Trace()->Count();
        QVERIFY(captured > 0);

        Frame()->btPort->click();
        QCOMPARE(Frame()->btPort->text(), QStringLiteral("Open channel"));
        QCOMPARE(Frame()->gbMain->title(), QStringLiteral("Channel #1"));
        QCOMPARE(Trace()->Count(), captured);
        QVERIFY(boxes.Messages.isEmpty());

        StartEmulator();
        Frame()->btPort->click();
        QCOMPARE(boxes.texts(), QStringList{});
        QCOMPARE(Frame()->btPort->text(), QStringLiteral("Close channel"));
        // Opening clears the trace on display; the demo traffic fills it again.
        QTRY_VERIFY_WITH_TIMEOUT(Trace()->Count() > 0, kWaitMs);
        QCOMPARE(Frame()->Fault(), QString());
        Frame()->btPort->click();
    }

    void cleanupTestCase() {
        TMessageBoxCapture yes(true);
        FWindow.reset();
        FEmu.reset();
        guitest::RemoveStoredFiles();
    }
};

QTEST_MAIN(MainWindowReconnectE2eTest)
#include "main_window_reconnect_e2e_test.moc"
