#include "adapters/zlg_adapter.h"

#include "adapters/vci_api.h"

CAdapterZlg::CAdapterZlg() : CAdapterZlg(UlmarVci()) {}

CAdapterZlg::CAdapterZlg(TVciApi& vci)
    : FManager(std::make_unique<TZlgManager>(ChannelCount, vci)) {}

TCanSendList* CAdapterZlg::GetSendList(int index) {
    TZlgChannel* channel = FManager->GetChannel(index);
    return channel ? &channel->SendList() : nullptr;
}

TLogger* CAdapterZlg::GetLogger(int index) {
    TZlgChannel* channel = FManager->GetChannel(index);
    return channel ? &channel->Logger() : nullptr;
}

TCanSettings* CAdapterZlg::GetSettings(int index) {
    TZlgChannel* channel = FManager->GetChannel(index);
    return channel ? &channel->Settings() : nullptr;
}

TCorvexTraceList* CAdapterZlg::GetTraceList(int index) {
    TZlgChannel* channel = FManager->GetChannel(index);
    return channel ? &channel->TraceList() : nullptr;
}

TCorvexTable* CAdapterZlg::GetFrameTable(int index) {
    TZlgChannel* channel = FManager->GetChannel(index);
    return channel ? &channel->FrameTable() : nullptr;
}

TBusCounters* CAdapterZlg::GetBusCounters(int index) {
    TZlgChannel* channel = FManager->GetChannel(index);
    return channel ? &channel->BusCounters() : nullptr;
}

TControllerStatus CAdapterZlg::GetControllerStatus(int index) const {
    return FManager->ControllerStatus(index);
}

bool CAdapterZlg::OpenChannel(int index) {
    if (FManager->OpenChannel(index)) {
        return true;
    }
    FLastError = FManager->GetLastError();
    return false;
}

void CAdapterZlg::CloseChannel(int index) {
    FManager->CloseChannel(index);
}

std::string CAdapterZlg::GetChannelFault(int index) const {
    return FManager->ChannelFault(index);
}

bool CAdapterZlg::IsChannelOpen(int index) const {
    return FManager->IsChannelOpen(index);
}
