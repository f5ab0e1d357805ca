#include "transmit/send_item.h"

#include "platform/tick_count.h"

std::string TCanSendItem::GetTypeName() const {
    switch (SendType) {
    case TCanSendType::Single:
        return "Single";
    case TCanSendType::Periodic:
        return "Periodic";
    case TCanSendType::OnRequest:
        return "OnRequest";
    }
    return "Unknown";
}

void TCanSendItem::Send() {
    if (!OnSend)
        return;
    OnSend(Frame);
    LastSendTime.store(platform::TickCount());
    const std::int32_t count = Count.fetch_add(1) + 1;
    if (OnCountChanged)
        OnCountChanged(count, Tag);
}

void TCanSendItem::ResetCount() {
    Count.store(0);
    if (OnCountChanged)
        OnCountChanged(0, Tag);
}

void TCanSendItem::SetPeriod(std::int32_t ms) {
    Period = ms > 0 ? ms : 1;
}

void TCanSendItem::Assign(const TCanSendItem& source) {
    Caption = source.Caption;
    Frame.Assign(source.Frame);
    SendType = source.SendType;
    Period = source.Period;
    Enabled.store(source.Enabled.load());
}
