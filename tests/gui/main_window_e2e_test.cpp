// The window against the virtual adapter with demo traffic: opening and
// closing channels, the trace and the table filling, switching channels, and
// the exit question. One window serves every case: the library's device stays
// open until the program ends.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"
#include "wait_until.h"

#include "adapters/adapter_custom.h"
#include "channel_frame.h"
#include "frame_table_view.h"
#include "main_window.h"
#include "message_box.h"
#include "trace_view.h"
#include "transmit/periodic_send_thread.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

namespace {
constexpr int kWaitMs = tessel::test::kPatienceMs;
} // namespace

class MainWindowE2eTest : public QObject {
    Q_OBJECT

    std::unique_ptr<tessel::test::DeviceDir> FDeviceDir;
    std::unique_ptr<tessel::test::EmuProcess> FEmu;
    std::unique_ptr<TfmMain> FWindow;

    CAdapterCustom& Adapter() { return *FWindow->Adapter(); }
    void ClickPort(int channel) { FWindow->ChannelFrame(channel)->btPort->click(); }

    // Every view row shows the table row at its index, with the same contents.
    void VerifyViewEqualsTable(int channel) {
        FWindow->FTableView->ApplyPendingChanges();
        TCorvexTable* table = Adapter().GetFrameTable(channel);
        const auto& rows = FWindow->FTableView->Model()->Rows();
        QCOMPARE(static_cast<int>(rows.size()), table->Count());
        for (int i = 0; i < table->Count(); ++i) {
            TCorvexTableItem expected(0, true, false);
            QVERIFY(table->ReadItem(i, expected));
            const TCorvexTableItem& shown = rows[static_cast<size_t>(i)].Row;
            QCOMPARE(rows[static_cast<size_t>(i)].RowKey, expected.GetRowKey());
            QCOMPARE(shown.Count, expected.Count);
            QCOMPARE(shown.GetColumnText(1), expected.GetColumnText(1));
            QCOMPARE(shown.Period, expected.Period);
        }
    }

private slots:
    void initTestCase() {
        guitest::RemoveStoredFiles();
        FDeviceDir = std::make_unique<tessel::test::DeviceDir>();
        FEmu = std::make_unique<tessel::test::EmuProcess>(
            *FDeviceDir, "gui", std::vector<std::string>{"--demo", "--separate-buses"});
        FWindow = std::make_unique<TfmMain>();
        FWindow->show();
    }

    void openingFillsTableAndTrace() {
        ClickPort(0);
        TfrChannelMan* frame = FWindow->ChannelFrame(0);
        QCOMPARE(frame->btPort->text(), QStringLiteral("Close channel"));
        QVERIFY(!frame->cbCanRate->isEnabled());
        QVERIFY(frame->cbCanMode->isEnabled());
        QVERIFY(FWindow->tmUpdate->isActive());
        QVERIFY(!FWindow->SendThread(0)->IsSuspended());
        QVERIFY(FWindow->SendThread(1)->IsSuspended());
        QCOMPARE(FWindow->ChannelFrame(1)->btPort->text(), QStringLiteral("Open channel"));

        QTRY_VERIFY_WITH_TIMEOUT(FWindow->FTableView->Model()->rowCount() >= 3, kWaitMs);
        FWindow->pcData->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->mTrace->LineCount() > 10, kWaitMs);
        TCorvexTraceList* trace = Adapter().GetTraceList(0);
        QCOMPARE(FWindow->mTrace->LineText(0), QString::fromStdString(trace->Items(0)->GetText()));
        QVERIFY(FWindow->mTrace->LineText(0).startsWith(QStringLiteral("IN  ts: ")));
        // Autoscroll keeps the newest line in view.
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->mTrace->FirstVisibleLine() +
                                         FWindow->mTrace->VisibleLineCount() >=
                                     FWindow->mTrace->LineCount(),
                                 kWaitMs);
    }

    void openingAnotherChannelClearsTheShownOne() {
        QVERIFY(FWindow->mTrace->LineCount() > 0);
        ClickPort(1);
        QCOMPARE(FWindow->ChannelFrame(1)->btPort->text(), QStringLiteral("Close channel"));
        QCOMPARE(FWindow->ChannelIndex(), 0);
        QCOMPARE(FWindow->mTrace->LineCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->mTrace->LineCount() > 0, kWaitMs);
    }

    void switchingChannelsShowsTheOtherTraceAndTable() {
        FWindow->tbChannels->setCurrentIndex(1);
        QCOMPARE(FWindow->ChannelIndex(), 1);
        TCorvexTraceList* trace = Adapter().GetTraceList(1);
        QCOMPARE(FWindow->mTrace->TraceList(), trace);
        QCOMPARE(FWindow->FTableView->Table(), Adapter().GetFrameTable(1));
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->mTrace->LineCount() > 0, kWaitMs);
        QCOMPARE(FWindow->mTrace->LineText(0), QString::fromStdString(trace->Items(0)->GetText()));
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->FTableView->Model()->rowCount() >= 3, kWaitMs);
    }

    void traceViewWaitsWhileTheTableShows() {
        FWindow->pcData->setCurrentIndex(0);
        TCorvexTraceList* trace = Adapter().GetTraceList(1);
        const int shown = FWindow->mTrace->LineCount();
        const int entries = trace->Count();
        QTRY_VERIFY_WITH_TIMEOUT(trace->Count() > entries + 10, kWaitMs);
        QTest::qWait(300); // several update ticks
        QCOMPARE(FWindow->mTrace->LineCount(), shown);
        FWindow->pcData->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->mTrace->LineCount() > entries, kWaitMs);
    }

    void clearingTheTableWhileOpenEmptiesIt() {
        FWindow->pcData->setCurrentIndex(0);
        FWindow->btClearTable->click();
        // The receive thread carries the clear out; new frames then fill it again.
        QTRY_VERIFY_WITH_TIMEOUT(Adapter().GetFrameTable(1)->ClearPending.load() == false, kWaitMs);
        FWindow->pcData->setCurrentIndex(1);
        FWindow->btClearTrace->click();
        QCOMPARE(FWindow->mTrace->LineCount(), 0);
    }

    void exitQuestionAnsweredNoKeepsEverythingRunning() {
        const int before = Adapter().GetTraceList(1)->Count();
        {
            TMessageBoxCapture no(false);
            QVERIFY(!FWindow->close());
            QCOMPARE(no.texts(),
                     QStringList{QStringLiteral("Are you sure you want to exit the application?")});
        }
        QVERIFY(FWindow->isVisible());
        QVERIFY(Adapter().IsChannelOpen(0));
        QVERIFY(Adapter().IsChannelOpen(1));
        QVERIFY(FWindow->tmUpdate->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(Adapter().GetTraceList(1)->Count() > before + 5, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(FWindow->mTrace->LineCount() > 5, kWaitMs);
    }

    void closingRestoresTheControlsAndLeavesTheViewEqualToTheTable() {
        ClickPort(1);
        QCOMPARE(FWindow->ChannelFrame(1)->btPort->text(), QStringLiteral("Open channel"));
        QVERIFY(FWindow->ChannelFrame(1)->cbCanRate->isEnabled());
        QVERIFY(FWindow->SendThread(1)->IsSuspended());
        QVERIFY(FWindow->tmUpdate->isActive()); // channel 0 is still open
        VerifyViewEqualsTable(1);

        FWindow->tbChannels->setCurrentIndex(0);
        ClickPort(0);
        QCOMPARE(FWindow->ChannelFrame(0)->btPort->text(), QStringLiteral("Open channel"));
        QVERIFY(!FWindow->tmUpdate->isActive());
        VerifyViewEqualsTable(0);
        // On a closed channel the trace page catches up at once.
        FWindow->pcData->setCurrentIndex(0);
        FWindow->pcData->setCurrentIndex(1);
        QCOMPARE(FWindow->mTrace->LineCount(), Adapter().GetTraceList(0)->Count());
    }

    void exitAnsweredYesClosesChannelsAndSavesSettings() {
        ClickPort(0);
        QVERIFY(Adapter().IsChannelOpen(0));
        {
            TMessageBoxCapture yes(true);
            QVERIFY(FWindow->close());
            // Only the exit question: the channels close without further messages.
            QCOMPARE(yes.Messages.size(), 1);
        }
        QVERIFY(!Adapter().IsChannelOpen(0));
        QVERIFY(FWindow->SendThread(0)->IsSuspended());
        QFile::remove(guitest::IniFile());
        FWindow.reset();
        QVERIFY(guitest::ReadFile(guitest::IniFile()).contains("CanRate_channel0=250000"));
    }

    void cleanupTestCase() {
        FWindow.reset();
        FEmu.reset();
        guitest::RemoveStoredFiles();
    }
};

QTEST_MAIN(MainWindowE2eTest)
#include "main_window_e2e_test.moc"
