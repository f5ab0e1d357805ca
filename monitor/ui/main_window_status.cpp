// The main window's status bar: the health of every channel of the adapter.
#include "main_window.h"

#include "channel_status_bar.h"

#include "adapters/adapter_custom.h"
#include "platform/tick_count.h"
#include "recording/trace_recording_feed.h"
#include "views/trace_list.h"

#include <QStatusBar>
#include <QTimer>

#include <limits>

void TfmMain::BuildStatusBar() {
    FStatusBar = new TChannelStatusBar(this);
    statusBar()->addWidget(FStatusBar, 1);
    tmStatus = new QTimer(this);
    tmStatus->setInterval(TChannelStatusBar::UpdateIntervalMs);
    connect(tmStatus, &QTimer::timeout, this, &TfmMain::tmStatusTimer);
    tmStatus->start();
}

// Also frees what the traces' memory limit let go, for every channel, shown
// or not: the window's thread is the traces' reader. A running recording
// keeps what it has not taken yet.
void TfmMain::tmStatusTimer() {
    FStatusBar->Update(platform::TickCount());
    if (FAdapter == nullptr)
        return;
    for (int i = 0; i < FAdapter->GetChannelCount(); ++i)
        if (TCorvexTraceList* trace = FAdapter->GetTraceList(i))
            trace->Trim(FRecordingFeed ? FRecordingFeed->Pending(trace)
                                       : std::numeric_limits<int>::max());
    if (FTrace != nullptr)
        FStatusBar->SetTraceSize(static_cast<std::size_t>(FTrace->Count() - FTrace->First()),
                                 FTrace->MemoryBytes());
}
