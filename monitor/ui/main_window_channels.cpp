// Adapter and channel operations of the main window.
#include "main_window.h"

#include "channel_frame.h"
#include "channel_status_bar.h"
#include "com_port_list.h"
#include "com_port_watcher.h"
#include "frame_table_view.h"
#include "message_box.h"
#include "trace_view.h"

#include "adapters/adapter_factory.h"
#include "adapters/adapter_serial.h"
#include "model/can_rate_list.h"
#include "model/can_settings.h"
#include "transmit/periodic_send_thread.h"
#include "transmit/send_list.h"
#include "views/frame_table.h"

#include <QComboBox>
#include <QGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace {
// Serial port names of this platform begin so.
#ifdef _WIN32
const QString kPortPrefix = QStringLiteral("COM");
#else
const QString kPortPrefix = QStringLiteral("/dev/");
#endif
} // namespace

void TfmMain::SelectAdapter(int index) {
    if (index == FAdapterIndex)
        return;
    // The recording follows the trace lists of one adapter.
    StopRecording();
    FAdapterIndex = index;
    FAdapter = FAdapterFactory->GetAdapter(index);
    FAdapter->LoadSettings(FIniFileName);
    FSerialAdapter = dynamic_cast<CAdapterSerial*>(FAdapter);
    FIsSerial = FSerialAdapter != nullptr;
    const int count = FAdapter->GetChannelCount();
    for (int i = 0; i < MaxChannels; ++i) {
        TfrChannelMan* frame = FChannelFrames[static_cast<size_t>(i)];
        frame->setVisible(i < count);
        frame->SetSingleChannel(!FAdapter->IsMultiChannel());
    }
    for (int i = 0; i < count && i < MaxChannels; ++i) {
        const auto slot = static_cast<size_t>(i);
        FChannelSettings[slot] = FAdapter->GetSettings(i);
        FSendLists[slot] = FAdapter->GetSendList(i);
        if (FSendLists[slot] != nullptr && FChannelSettings[slot] != nullptr)
            FSendLists[slot]->SetStandard(FChannelSettings[slot]->Mode == TCanMode::Standard);
        FSendThreads[slot]->SetSendList(FSendLists[slot]);
    }
    {
        // Rebuilding the tabs must not switch channels on the way.
        const QSignalBlocker block(tbChannels);
        while (tbChannels->count() > 0)
            tbChannels->removeTab(0);
        if (FAdapter->IsMultiChannel())
            for (int i = 0; i < count; ++i)
                tbChannels->addTab(QStringLiteral("Channel #") + QString::number(i + 1));
    }
    tbChannels->setVisible(tbChannels->count() > 0);
    FStatusBar->SetAdapter(FAdapter);
    ApplyTraceLimit();
    SelectChannel(0);
    ApplyAdapterSettings();
    UpdateChannelControls();
}

void TfmMain::ApplyAdapterSettings() {
    FRates->LoadFromAdapter(FAdapter);
    std::vector<std::string> texts;
    FRates->GetTexts(texts);
    for (int i = 0; i < FAdapter->GetChannelCount() && i < MaxChannels; ++i) {
        TfrChannelMan* frame = FChannelFrames[static_cast<size_t>(i)];
        // Filling the combos is not a choice of the user: the settings stay.
        const QSignalBlocker blockRate(frame->cbCanRate);
        const QSignalBlocker blockMode(frame->cbCanMode);
        frame->cbCanRate->clear();
        for (const std::string& text : texts)
            frame->cbCanRate->addItem(QString::fromStdString(text));
        if (const TCanSettings* settings = FAdapter->GetSettings(i)) {
            frame->cbCanRate->setCurrentIndex(FRates->IndexOf(settings->Rate));
            frame->cbCanMode->setCurrentIndex(settings->Mode == TCanMode::Standard ? 0 : 1);
        } else {
            frame->cbCanRate->setCurrentIndex(-1);
            frame->cbCanMode->setCurrentIndex(-1);
        }
    }
    gbComport->setVisible(FIsSerial);
    if (FIsSerial) {
        if (FPortWatcher == nullptr) {
            FPortWatcher = new TComPortWatcher(this);
            connect(FPortWatcher, &TComPortWatcher::portsChanged, this, &TfmMain::WMDeviceChange);
        }
        RefreshPortList();
        const QString port = QString::fromStdString(FSerialAdapter->GetPort());
        if (port.isEmpty()) {
            if (cbComPort->count() > 0)
                cbComPort->setCurrentIndex(0);
        } else {
            cbComPort->setEditText(port);
        }
    }
    cbSelectAdapter->setCurrentIndex(FAdapterIndex);
    FitPanel1();
}

void TfmMain::SelectChannel(int index) {
    FChannelIndex = index;
    FLogger = FAdapter->GetLogger(index);
    FTrace = FAdapter->GetTraceList(index);
    FSendList = FSendLists[static_cast<size_t>(index)];
    FTable = FAdapter->GetFrameTable(index);
    FTableView->SetTable(FTable);
    if (FTable != nullptr) {
        if (IsCurrentChannelOpen())
            FTable->RequestRefresh();
        else
            FTable->Refresh();
    }
    // The trace view follows the channel on display.
    mTrace->SetTraceList(FTrace);
    if (pcData->currentIndex() == 1)
        DrainTrace();
    sgSend->setSendList(FSendList, FChannelIndex);
}

void TfmMain::tbChannelsChange(int index) {
    if (index >= 0 && FAdapter != nullptr)
        SelectChannel(index);
}

bool TfmMain::IsChannelShownOpen(int i) const {
    if (FAdapter == nullptr)
        return false;
    return FAdapter->IsMultiChannel() ? FAdapter->IsChannelOpen(i) : FAdapter->IsAnyChannelOpen();
}

bool TfmMain::IsCurrentChannelOpen() const {
    return IsChannelShownOpen(FChannelIndex);
}

bool TfmMain::IsCurrentChannelStandard() const {
    const TCanSettings* settings = CurrentSettings();
    return settings == nullptr || settings->Mode == TCanMode::Standard;
}

int TfmMain::AdapterChannelCount() const {
    return FAdapter != nullptr ? FAdapter->GetChannelCount() : 0;
}

TCanSettings* TfmMain::CurrentSettings() const {
    return FChannelSettings[static_cast<size_t>(FChannelIndex)];
}

TPeriodicSendThread* TfmMain::SendThread(int i) const {
    return FSendThreads[static_cast<size_t>(i)].get();
}

void TfmMain::UpdateChannelControls() {
    if (FCreating || FAdapter == nullptr)
        return;
    if (FIsSerial)
        cbComPort->setEnabled(!FAdapter->IsChannelOpen(FChannelIndex));
    for (int i = 0; i < FAdapter->GetChannelCount() && i < MaxChannels; ++i)
        FChannelFrames[static_cast<size_t>(i)]->SetOpened(IsChannelShownOpen(i));
    ShowChannelFaults();
    if (FAdapter->IsAnyChannelOpen()) {
        if (!tmUpdate->isActive())
            tmUpdate->start();
    } else {
        tmUpdate->stop();
    }
}

void TfmMain::ShowChannelFaults() {
    if (FAdapter == nullptr)
        return;
    for (int i = 0; i < FAdapter->GetChannelCount() && i < MaxChannels; ++i)
        FChannelFrames[static_cast<size_t>(i)]->SetFault(
            QString::fromStdString(FAdapter->GetChannelFault(i)));
}

void TfmMain::frChannelMan0btPortClick(int channel) {
    if (IsChannelShownOpen(channel))
        DisconnectChannel(channel, false);
    else
        ConnectChannel(channel);
}

void TfmMain::ConnectChannel(int i) {
    if (FAdapter == nullptr)
        return;
    if (FIsSerial) {
        const QString text = cbComPort->currentText().trimmed();
        if (text.isEmpty()) {
            ShowError(QStringLiteral("Communication port is not selected"));
            return;
        }
        if (!text.startsWith(kPortPrefix)) {
            ShowError(QStringLiteral("Incorrect name of COM port"));
            return;
        }
        FSerialAdapter->SetPort(text.toStdString());
    }
    const bool ok = FAdapter->OpenChannel(i);
    DrainLog();
    if (!ok) {
        ShowError(QString::fromStdString(FAdapter->GetLastError()));
        return;
    }
    ClearTrace();
    ClearTable();
    if (i >= 0 && i < MaxChannels)
        FSendThreads[static_cast<size_t>(i)]->Resume();
    UpdateChannelControls();
}

void TfmMain::DisconnectChannel(int i, bool quiet) {
    FAdapter->CloseChannel(i);
    if (i >= 0 && i < MaxChannels)
        FSendThreads[static_cast<size_t>(i)]->Suspend();
    if (!quiet) {
        UpdateChannelControls();
        DrainLog();
    }
}

void TfmMain::cbCanRateChange(int channel, int item) {
    if (channel < 0 || channel >= MaxChannels)
        return;
    if (TCanSettings* settings = FChannelSettings[static_cast<size_t>(channel)])
        settings->Rate = static_cast<std::int32_t>(FRates->RateAt(item));
}

void TfmMain::cbCanModeChange(int channel, int item) {
    if (channel >= 0 && channel < MaxChannels) {
        const auto slot = static_cast<size_t>(channel);
        if (TCanSettings* settings = FChannelSettings[slot]) {
            settings->Mode = item == 0 ? TCanMode::Standard : TCanMode::Extended;
            if (FSendLists[slot] != nullptr)
                FSendLists[slot]->SetStandard(settings->Mode == TCanMode::Standard);
        }
    }
    sgSend->RefreshSendGrid();
}

void TfmMain::RefreshPortList() {
    ::RefreshPortList(*cbComPort, *FComPorts);
}

// WMDeviceChange: ports came or went; the port the user typed or chose stays.
void TfmMain::WMDeviceChange() {
    RefreshPortListKeepText(*cbComPort, *FComPorts);
}

void TfmMain::btTestClick() {
    if (CAdapterCustom* adapter = FAdapterFactory->GetAdapter(0))
        ShowInfo(QString::fromStdString(adapter->GetName()));
}

void TfmMain::btSendHardCode1Click() {
    CheckConnection();
}

void TfmMain::CheckConnection() {
    if (!IsCurrentChannelOpen())
        ShowInfo(QStringLiteral("No connection with CanBus adapter"));
}

void TfmMain::ShowError(const QString& text) {
    TMessageBoxes::showError(text, this);
}

void TfmMain::ShowInfo(const QString& text) {
    TMessageBoxes::notify(text, this);
}
