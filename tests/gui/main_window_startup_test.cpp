// The window without an adapter on the bus: start-up state with and without a
// settings file, the error box of a failed opening, settings and transmit
// lists kept from one start to the next, and the controls that only report.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"

#include "adapters/adapter_custom.h"
#include "channel_frame.h"
#include "main_window.h"
#include "message_box.h"
#include "model/can_rate_list.h"
#include "model/can_settings.h"
#include "send_grid.h"
#include "trace_view.h"
#include "transmit/periodic_send_thread.h"
#include "transmit/send_list.h"

using guitest::IniFile;
using guitest::ReadFile;
using guitest::RemoveStoredFiles;
using guitest::WriteFile;

class MainWindowStartupTest : public QObject {
    Q_OBJECT

    // No adapter publishes itself here, so every opening fails.
    std::unique_ptr<tessel::test::DeviceDir> FDeviceDir;

    static std::unique_ptr<TfmMain> ShowWindow() {
        auto window = std::make_unique<TfmMain>();
        window->show();
        return window;
    }

    static int RateIndex(int rate) { return TCanRateList().IndexOf(rate); }

    // Closes the window answering Yes, then destroys it: the way the program ends.
    static void CloseAndDestroy(std::unique_ptr<TfmMain>& window) {
        TMessageBoxCapture yes(true);
        window->close();
        window.reset();
    }

private slots:
    void initTestCase() { FDeviceDir = std::make_unique<tessel::test::DeviceDir>(); }
    void init() { RemoveStoredFiles(); }
    void cleanupTestCase() { RemoveStoredFiles(); }

    void startsWithDefaultsWithoutSettingsFile() {
        auto window = ShowWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Tessel for ZLG adapter"));
        QVERIFY(window->IniFileName().ends_with("/Tessel.ini"));
        QVERIFY(QFile::exists(IniFile())); // created empty by the first load

        QCOMPARE(window->cbSelectAdapter->count(), 1);
        QCOMPARE(window->cbSelectAdapter->currentText(), QStringLiteral("Zlg"));
        QVERIFY(!window->cbSelectAdapter->isEnabled());
        QVERIFY(!window->gbComport->isVisible());

        QCOMPARE(window->tbChannels->count(), 2);
        QCOMPARE(window->tbChannels->tabText(0), QStringLiteral("Channel #1"));
        QCOMPARE(window->tbChannels->tabText(1), QStringLiteral("Channel #2"));
        for (int i = 0; i < TfmMain::MaxChannels; ++i)
            QCOMPARE(window->ChannelFrame(i)->isVisible(), i < 2);
        for (int i = 0; i < 2; ++i) {
            TfrChannelMan* frame = window->ChannelFrame(i);
            QCOMPARE(frame->gbMain->title(), QStringLiteral("Channel #%1").arg(i + 1));
            QCOMPARE(frame->btPort->text(), QStringLiteral("Open channel"));
            QVERIFY(frame->cbCanRate->isEnabled());
            QCOMPARE(frame->cbCanRate->count(), 15);
            QCOMPARE(frame->cbCanRate->currentIndex(), RateIndex(250000));
            QCOMPARE(frame->cbCanMode->currentIndex(), 0);
            QCOMPARE(window->Adapter()->GetSettings(i)->Rate, 250000);
        }
        // Hidden slots never get an open state: their button keeps its design caption.
        QCOMPARE(window->ChannelFrame(2)->btPort->text(), QStringLiteral("OPEN"));

        QCOMPARE(window->pcData->currentIndex(), 0);
        QCOMPARE(window->pcData->tabText(0), QStringLiteral("Table"));
        QCOMPARE(window->pcData->tabText(1), QStringLiteral("Trace"));
        QVERIFY(!window->pcData->isTabVisible(2));
        QVERIFY(window->cbTraceAutoscroll->isChecked());
        QVERIFY(window->Autoscroll());
        QVERIFY(!window->tmUpdate->isActive());
        QCOMPARE(window->ChannelIndex(), 0);
        QCOMPARE(window->GroupBox4->title(), QStringLiteral("Transmit"));
        for (int i = 0; i < TfmMain::MaxChannels; ++i)
            QVERIFY(window->SendThread(i)->IsSuspended());
        QCOMPARE(window->SendThread(1)->SendList(), window->Adapter()->GetSendList(1));
        QVERIFY(!window->gbCustomPanel1->isVisible());
        CloseAndDestroy(window);
    }

    void startsWithStoredSettings() {
        WriteFile(IniFile(), "[Other]\nKeep=1\n[Zlg]\nCanRate_channel0=500000\n"
                             "CanMode_channel0=1\nCanRate_channel1=123456\nCanMode_channel1=257\n");
        auto window = ShowWindow();
        QCOMPARE(window->ChannelFrame(0)->cbCanRate->currentIndex(), RateIndex(500000));
        QCOMPARE(window->ChannelFrame(0)->cbCanMode->currentIndex(), 1);
        // A rate outside the table stays in the settings but selects nothing.
        QCOMPARE(window->ChannelFrame(1)->cbCanRate->currentIndex(), -1);
        QCOMPARE(window->Adapter()->GetSettings(1)->Rate, 123456);
        QCOMPARE(window->ChannelFrame(1)->cbCanMode->currentIndex(), 1);
        QVERIFY(!window->Adapter()->GetSendList(0)->IsStandard);
        CloseAndDestroy(window);
        const QByteArray stored = ReadFile(IniFile());
        QVERIFY(stored.contains("[Other]\nKeep=1\n"));
        QVERIFY(stored.contains("CanRate_channel1=123456"));
    }

    void failedOpeningShowsTheAdaptersError() {
        auto window = ShowWindow();
        TMessageBoxCapture boxes;
        QTest::mouseClick(window->ChannelFrame(1)->btPort, Qt::LeftButton);
        QCOMPARE(boxes.Messages.size(), 1);
        QCOMPARE(boxes.Messages[0].Kind, TMessageBoxes::TKind::Error);
        QCOMPARE(boxes.Messages[0].Title, QStringLiteral("Tessel - Error!"));
        const QString expected = QString::fromStdString(window->Adapter()->GetLastError());
        QVERIFY(expected == QStringLiteral("Device not found") ||
                expected == QStringLiteral("Opening device if failed"));
        QCOMPARE(boxes.Messages[0].Text, expected);
        QCOMPARE(window->ChannelFrame(1)->btPort->text(), QStringLiteral("Open channel"));
        QVERIFY(window->ChannelFrame(1)->cbCanRate->isEnabled());
        QVERIFY(!window->tmUpdate->isActive());
        QVERIFY(window->SendThread(1)->IsSuspended());
        CloseAndDestroy(window);
    }

    void typingIntoRateOrModeChangesNothing() {
        auto window = ShowWindow();
        TfrChannelMan* frame = window->ChannelFrame(0);
        const int rate = frame->cbCanRate->currentIndex();
        frame->cbCanRate->setFocus();
        QTest::keyClicks(frame->cbCanRate, QStringLiteral("15"));
        frame->cbCanMode->setFocus();
        QTest::keyClicks(frame->cbCanMode, QStringLiteral("e"));
        QCOMPARE(frame->cbCanRate->currentIndex(), rate);
        QCOMPARE(frame->cbCanMode->currentIndex(), 0);
        QCOMPARE(window->Adapter()->GetSettings(0)->Mode, TCanMode::Standard);
        CloseAndDestroy(window);
    }

    void modeChangeRerendersIdentifiers() {
        WriteFile(guitest::SendListFile(1), "0;0;0;1AB;0;2;1122;Lamp;\n");
        auto window = ShowWindow();
        window->tbChannels->setCurrentIndex(1);
        QCOMPARE(window->ChannelIndex(), 1);
        QAbstractItemModel* grid = window->sgSend->grid()->model();
        QCOMPARE(window->Adapter()->GetSendList(1)->Count(), 1);
        QCOMPARE(grid->index(0, 4).data().toString(), QStringLiteral("1AB"));
        window->ChannelFrame(1)->cbCanMode->setCurrentIndex(1);
        QCOMPARE(grid->index(0, 4).data().toString(), QStringLiteral("000001AB"));
        QCOMPARE(window->Adapter()->GetSettings(1)->Mode, TCanMode::Extended);
        QVERIFY(!window->Adapter()->GetSendList(1)->IsStandard);
        // Only the shown channel's grid follows; channel 0 keeps its mode.
        QCOMPARE(window->Adapter()->GetSettings(0)->Mode, TCanMode::Standard);
        CloseAndDestroy(window);
    }

    void settingsAndTransmitListsSurviveARestart() {
        auto window = ShowWindow();
        window->ChannelFrame(0)->cbCanRate->setCurrentIndex(RateIndex(500000));
        window->ChannelFrame(0)->cbCanMode->setCurrentIndex(1);
        window->ChannelFrame(1)->cbCanRate->setCurrentIndex(RateIndex(1000000));
        auto item = std::make_unique<TCanSendItem>();
        item->Caption = "Heartbeat";
        item->Frame.Id = 0x1ABCDE;
        item->Frame.Len = 1;
        item->Frame.Data[0] = 0x5A;
        item->SendType = TCanSendType::Periodic;
        item->SetPeriod(250);
        window->Adapter()->GetSendList(0)->Add(std::move(item));
        CloseAndDestroy(window);

        const QByteArray stored = ReadFile(IniFile());
        QVERIFY(stored.contains("CanRate_channel0=500000"));
        QVERIFY(stored.contains("CanMode_channel0=1"));
        QVERIFY(stored.contains("CanRate_channel1=1000000"));
        QVERIFY(stored.contains("CanMode_channel1=0"));

        window = ShowWindow();
        QCOMPARE(window->ChannelFrame(0)->cbCanRate->currentIndex(), RateIndex(500000));
        QCOMPARE(window->ChannelFrame(0)->cbCanMode->currentIndex(), 1);
        QCOMPARE(window->ChannelFrame(1)->cbCanRate->currentIndex(), RateIndex(1000000));
        TCanSendList* list = window->Adapter()->GetSendList(0);
        QCOMPARE(list->Count(), 1);
        QCOMPARE(list->Items(0)->Caption, std::string("Heartbeat"));
        QCOMPARE(list->Items(0)->Frame.Id, 0x1ABCDEu);
        QCOMPARE(list->Items(0)->Period, 250);
        QAbstractItemModel* grid = window->sgSend->grid()->model();
        QCOMPARE(grid->index(0, 0).data().toString(), QStringLiteral("Heartbeat"));
        QCOMPARE(grid->index(0, 4).data().toString(), QStringLiteral("001ABCDE"));
        CloseAndDestroy(window);
    }

    void exitQuestionAnsweredNoKeepsTheWindow() {
        auto window = ShowWindow();
        {
            TMessageBoxCapture no(false);
            QVERIFY(!window->close());
            QCOMPARE(no.Messages.size(), 1);
            QCOMPARE(no.Messages[0].Kind, TMessageBoxes::TKind::Question);
            QCOMPARE(no.Messages[0].Title, QStringLiteral("Tessel"));
            QCOMPARE(no.Messages[0].Text,
                     QStringLiteral("Are you sure you want to exit the application?"));
        }
        QVERIFY(window->isVisible());
        CloseAndDestroy(window);
    }

    void hiddenControlsOnlyReport() {
        auto window = ShowWindow();
        TMessageBoxCapture boxes;
        for (QPushButton* button : window->btSendHardCode)
            button->click();
        QCOMPARE(boxes.texts(),
                 QStringList(4, QStringLiteral("No connection with CanBus adapter")));
        boxes.Messages.clear();
        window->btTest->click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Zlg")});
        CloseAndDestroy(window);
    }
};

QTEST_MAIN(MainWindowStartupTest)
#include "main_window_startup_test.moc"
