// The data pages of the main window: trace, table and log of the channel on display.
#include "main_window.h"

#include "frame_table_view.h"
#include "trace_view.h"

#include "model/logger.h"
#include "recording/trace_recording_feed.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

#include <QPlainTextEdit>
#include <QTabWidget>

namespace {
constexpr int kTracePage = 1;
} // namespace

void TfmMain::tmUpdateTimer() {
    ShowChannelFaults();
    FeedRecording();
    UpdateRecordingStatus();
    DrainLog();
    if (pcData->currentIndex() == kTracePage)
        DrainTrace();
}

void TfmMain::DrainLog() {
    if (FLogger == nullptr)
        return;
    std::string line;
    while (!FLogger->IsEmpty() && FLogger->Pop(line))
        mLog->appendPlainText(QString::fromStdString(line));
}

// The view formats only the lines on screen, so catching up costs the same
// however many entries came in since the last tick. Autoscroll follows the
// newest line only while it is in view: once the user scrolls up (or finds
// an older line) the view stays put until the user scrolls back to the end.
void TfmMain::DrainTrace() {
    const bool follow = FAutoscroll && mTrace->IsAtEnd();
    mTrace->CatchUp();
    if (follow)
        mTrace->ScrollToEnd();
    ShowTracePause();
}

void TfmMain::pcDataChange(int page) {
    if (page == kTracePage && !IsCurrentChannelOpen())
        DrainTrace();
}

void TfmMain::ClearTrace() {
    // The recording takes what the trace holds before it goes.
    if (FRecordingFeed)
        FRecordingFeed->FeedAll();
    if (FTrace != nullptr)
        FTrace->Clear();
    if (FRecordingFeed)
        FRecordingFeed->Cleared(FTrace);
    mTrace->Clear();
}

void TfmMain::ClearTable() {
    if (FTable == nullptr)
        return;
    if (IsCurrentChannelOpen())
        FTable->RequestClear();
    else
        FTable->Clear();
}

void TfmMain::cbTraceAutoscrollClick(bool checked) {
    FAutoscroll = checked;
    if (checked)
        mTrace->ScrollToEnd();
}
