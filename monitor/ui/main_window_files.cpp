// The File menu: saving traces, recording both channels while capturing and
// showing log files offline.
#include "main_window.h"

#include "log_view_dialog.h"
#include "trace_view.h"

#include "adapters/adapter_custom.h"
#include "log_reader.h"
#include "platform/wall_clock.h"
#include "recording/trace_log_frames.h"
#include "recording/trace_recorder.h"
#include "recording/trace_recording_feed.h"
#include "views/trace_list.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

namespace {

const QString kLogFilters =
    QStringLiteral("candump log (*.log);;Vector ASC (*.asc);;CSV (*.csv);;All files (*)");

// The format a file name asks for; candump when its extension names none.
canlog::Format FormatOf(const QString& path) {
    return canlog::formatFromPath(path.toStdString()).value_or(canlog::Format::Candump);
}

// Adds the extension of the chosen filter when the name has none.
QString WithExtension(QString path, const QString& filter) {
    if (!QFileInfo(path).suffix().isEmpty())
        return path;
    if (filter.contains(QStringLiteral("*.asc")))
        return path + QStringLiteral(".asc");
    if (filter.contains(QStringLiteral("*.csv")))
        return path + QStringLiteral(".csv");
    return path + QStringLiteral(".log");
}

QString SizeText(std::uint64_t bytes) {
    if (bytes < 10 * 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 10 * 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

} // namespace

void TfmMain::BuildFileMenu() {
    mnFile = menuBar()->addMenu(QStringLiteral("File"));
    SaveTraceAs1 = mnFile->addAction(QStringLiteral("Save trace as…"));
    SaveTraceAs1->setShortcut(QKeySequence::Save);
    mnFile->addSeparator();
    Record1 = mnFile->addAction(QStringLiteral("Record…"));
    StopRecording1 = mnFile->addAction(QStringLiteral("Stop recording"));
    StopRecording1->setEnabled(false);
    mnFile->addSeparator();
    OpenLog1 = mnFile->addAction(QStringLiteral("Open log…"));
    connect(SaveTraceAs1, &QAction::triggered, this, &TfmMain::SaveTraceAsClick);
    connect(Record1, &QAction::triggered, this, &TfmMain::RecordClick);
    connect(StopRecording1, &QAction::triggered, this, [this] { StopRecording(); });
    connect(OpenLog1, &QAction::triggered, this, &TfmMain::OpenLogClick);
    lbRecording = new QLabel(this);
    lbRecording->setObjectName(QStringLiteral("lbRecording"));
    statusBar()->addWidget(lbRecording);
    lbRecording->hide();
}

std::vector<TCorvexTraceList*> TfmMain::ChannelTraceLists() const {
    std::vector<TCorvexTraceList*> lists;
    if (FAdapter == nullptr)
        return lists;
    for (int i = 0; i < FAdapter->GetChannelCount(); ++i)
        lists.push_back(FAdapter->GetTraceList(i));
    return lists;
}

bool TfmMain::SaveTrace(const QString& path, bool bothChannels, QString& error) {
    std::vector<TTraceSource> sources;
    const auto lists = ChannelTraceLists();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        if (lists[i] != nullptr && (bothChannels || static_cast<int>(i) == FChannelIndex))
            sources.push_back({lists[i], static_cast<std::uint8_t>(i)});
    }
    std::string message;
    if (!SaveLog(MergedTrace(sources), path.toStdString(), FormatOf(path), message)) {
        error = QString::fromStdString(message);
        return false;
    }
    return true;
}

void TfmMain::SaveTraceAsClick() {
    bool both = false;
    if (ChannelTraceLists().size() > 1) {
        const QStringList scopes = {QStringLiteral("Channel %1 (shown)").arg(FChannelIndex),
                                    QStringLiteral("Both channels, merged by time")};
        bool ok = false;
        const QString scope =
            QInputDialog::getItem(this, QStringLiteral("Save trace as"),
                                  QStringLiteral("Frames of:"), scopes, 0, false, &ok);
        if (!ok)
            return;
        both = scope == scopes[1];
    }
    QString filter;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save trace as"), QString(),
                                                kLogFilters, &filter);
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveTrace(WithExtension(path, filter), both, error))
        ShowError(error);
}

bool TfmMain::StartRecording(const QString& path, QString& error) {
    if (FRecorder)
        StopRecording();
    std::string message;
    FRecorder =
        TTraceRecorder::Start(path.toStdString(), FormatOf(path), platform::WallClockUs(), message);
    if (!FRecorder) {
        error = QString::fromStdString(message);
        return false;
    }
    FRecordingFeed = std::make_unique<TTraceRecordingFeed>(*FRecorder, ChannelTraceLists());
    Record1->setEnabled(false);
    StopRecording1->setEnabled(true);
    lbRecording->show();
    UpdateRecordingStatus();
    return true;
}

bool TfmMain::StopRecording() {
    if (!FRecorder)
        return true;
    FRecordingFeed->FeedAll();
    const bool written = FRecorder->Stop();
    UpdateRecordingStatus();
    lbRecording->setText(QStringLiteral("Recorded ") + lbRecording->text().section(' ', 1, -1));
    FRecordingFeed.reset();
    FRecorder.reset();
    Record1->setEnabled(true);
    StopRecording1->setEnabled(false);
    return written;
}

void TfmMain::RecordClick() {
    QString filter;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Record"), QString(),
                                                      kLogFilters, &filter);
    if (path.isEmpty())
        return;
    QString error;
    if (!StartRecording(WithExtension(path, filter), error))
        ShowError(error);
}

void TfmMain::FeedRecording() {
    if (FRecordingFeed)
        FRecordingFeed->Feed();
}

// "Recording trace.asc: 12345 frames, 512 KB" and the dropped frames when
// there are any, so a loss is never silent.
void TfmMain::UpdateRecordingStatus() {
    if (!FRecorder)
        return;
    QString text = QStringLiteral("Recording %1: %2 frames, %3")
                       .arg(QFileInfo(QString::fromStdString(FRecorder->Path())).fileName())
                       .arg(FRecorder->FramesWritten())
                       .arg(SizeText(FRecorder->BytesWritten()));
    if (FRecorder->FramesDropped() != 0)
        text += QStringLiteral(", %1 DROPPED").arg(FRecorder->FramesDropped());
    if (FRecorder->Failed())
        text += QStringLiteral(", WRITE FAILED");
    lbRecording->setText(text);
}

void TfmMain::OpenLog(const QString& path) {
    std::string error;
    const auto contents = canlog::readLogFile(path.toStdString(), std::nullopt, error);
    if (!contents) {
        ShowError(QString::fromStdString(error));
        return;
    }
    auto* dialog = new TLogViewDialog(path, *contents, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void TfmMain::OpenLogClick() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open log"), QString(), kLogFilters);
    if (!path.isEmpty())
        OpenLog(path);
}
