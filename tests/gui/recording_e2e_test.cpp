// The File menu's recording, saving and offline view against the virtual
// adapter: both channels on one bus, each sending what the other receives.

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"

#include "adapters/zlg_adapter.h"
#include "adapters/zlg_manager.h"
#include "channel_frame.h"
#include "frame_table_view.h"
#include "log_reader.h"
#include "log_view_dialog.h"
#include "main_window.h"
#include "model/can_frame.h"
#include "trace_view.h"
#include "views/trace_list.h"

namespace {

constexpr int kWaitMs = 20000;
constexpr int kFramesPerChannel = 60;

// Channel c's n-th frame: standard and extended, data and remote, all lengths.
TCanFrame Numbered(int channel, int n) {
    TCanFrame frame;
    frame.IsStandard = n % 3 != 0;
    frame.Id =
        static_cast<std::uint32_t>((frame.IsStandard ? 0x100 : 0x1ABC000) + channel * 0x80 + n);
    frame.IsRemote = n % 11 == 5;
    frame.Len = static_cast<std::uint32_t>(n % 9);
    for (std::uint32_t b = 0; b < frame.Len; ++b)
        frame.Data[b] = static_cast<std::uint8_t>(channel * 100 + n + b);
    return frame;
}

bool SameFrame(const canlog::LogFrame& got, const TCanFrame& sent) {
    if (got.id != sent.Id || got.extended == sent.IsStandard || got.remote != sent.IsRemote ||
        got.length != sent.Len)
        return false;
    for (std::uint32_t b = 0; !sent.IsRemote && b < sent.Len; ++b) {
        if (got.data[b] != sent.Data[b])
            return false;
    }
    return true;
}

} // namespace

class RecordingE2eTest : public QObject {
    Q_OBJECT

    std::unique_ptr<tessel::test::DeviceDir> FDeviceDir;
    std::unique_ptr<tessel::test::EmuProcess> FEmu;
    std::unique_ptr<TfmMain> FWindow;
    QString FRecording;

    CAdapterZlg& Adapter() { return dynamic_cast<CAdapterZlg&>(*FWindow->Adapter()); }

private slots:
    void initTestCase() {
        guitest::RemoveStoredFiles();
        FDeviceDir = std::make_unique<tessel::test::DeviceDir>();
        FEmu = std::make_unique<tessel::test::EmuProcess>(*FDeviceDir, "rec");
        FWindow = std::make_unique<TfmMain>();
        FWindow->show();
        FRecording = QString::fromStdString(FDeviceDir->path()) + QStringLiteral("/both.csv");
    }

    void recordingHoldsEveryFrameOfBothChannels() {
        FWindow->ChannelFrame(0)->btPort->click();
        FWindow->ChannelFrame(1)->btPort->click();
        QVERIFY(Adapter().IsChannelOpen(0) && Adapter().IsChannelOpen(1));
        QString error;
        QVERIFY2(FWindow->StartRecording(FRecording, error), qPrintable(error));
        QVERIFY(FWindow->IsRecording());
        for (int n = 0; n < kFramesPerChannel; ++n) {
            Adapter().Manager().GetChannel(0)->SendFrame(Numbered(0, n));
            Adapter().Manager().GetChannel(1)->SendFrame(Numbered(1, n));
        }
        // Each channel's trace: its own frames sent and the other's received.
        for (int c : {0, 1})
            QTRY_COMPARE_WITH_TIMEOUT(Adapter().GetTraceList(c)->Count(), 2 * kFramesPerChannel,
                                      kWaitMs);
        // Clearing the shown trace in the middle loses nothing of the recording.
        FWindow->ClearTrace();
        QVERIFY(FWindow->StopRecording());
        QVERIFY(!FWindow->IsRecording());
        QVERIFY(FWindow->lbRecording->text().contains(QStringLiteral("240 frames")));

        std::string readError;
        const auto log = canlog::readLogFile(FRecording.toStdString(), std::nullopt, readError);
        QVERIFY2(log.has_value(), readError.c_str());
        QCOMPARE(log->malformedLines, std::size_t{0});
        QCOMPARE(static_cast<int>(log->frames.size()), 4 * kFramesPerChannel);
        // Per channel and direction the frames come in the order they were sent:
        // what channel c sent (Tx on c) and what the other channel sent (Rx on c).
        for (int c : {0, 1}) {
            for (bool tx : {true, false}) {
                const int sender = tx ? c : 1 - c;
                int n = 0;
                for (const auto& frame : log->frames) {
                    if (frame.channel != c || frame.tx != tx)
                        continue;
                    QVERIFY2(
                        n < kFramesPerChannel && SameFrame(frame, Numbered(sender, n)),
                        qPrintable(
                            QStringLiteral("channel %1 tx %2 frame %3").arg(c).arg(tx).arg(n)));
                    ++n;
                }
                QCOMPARE(n, kFramesPerChannel);
            }
        }
    }

    void savedTraceMergesTheChannelsByTime() {
        const QString path =
            QString::fromStdString(FDeviceDir->path()) + QStringLiteral("/saved.asc");
        QString error;
        QVERIFY2(FWindow->SaveTrace(path, true, error), qPrintable(error));
        std::string readError;
        const auto log = canlog::readLogFile(path.toStdString(), std::nullopt, readError);
        QVERIFY(log.has_value());
        // Channel 0's trace was cleared; channel 1's still holds both directions.
        QCOMPARE(static_cast<int>(log->frames.size()),
                 Adapter().GetTraceList(0)->Count() + Adapter().GetTraceList(1)->Count());
        for (std::size_t i = 1; i < log->frames.size(); ++i)
            QVERIFY(log->frames[i - 1].timeUs <= log->frames[i].timeUs);
    }

    void openLogShowsEveryChannelOffline() {
        const int liveLines = Adapter().GetTraceList(1)->Count();
        FWindow->OpenLog(FRecording);
        auto* dialog = FWindow->findChild<TLogViewDialog*>();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->TraceView(0) != nullptr && dialog->TraceView(1) != nullptr);
        QCOMPARE(dialog->TraceView(0)->LineCount(), 2 * kFramesPerChannel);
        QCOMPARE(dialog->TraceView(1)->LineCount(), 2 * kFramesPerChannel);
        QVERIFY(dialog->TraceView(0)->LineText(0).startsWith(QStringLiteral("OUT t: ")) ||
                dialog->TraceView(0)->LineText(0).startsWith(QStringLiteral("IN  t: ")));
        QVERIFY(dialog->TableView(0)->Model()->rowCount() > 0);
        // The live channel is untouched.
        QCOMPARE(Adapter().GetTraceList(1)->Count(), liveLines);
        dialog->close();
    }

    void cleanupTestCase() {
        FWindow.reset();
        FEmu.reset();
        FDeviceDir.reset();
    }
};

QTEST_MAIN(RecordingE2eTest)
#include "recording_e2e_test.moc"
