#include "views/trace_item.h"

#include <algorithm>

#include "model/can_frame.h"
#include "views/hex_text.h"
#include "views/trace_time.h"

TCorvexTraceItem::TCorvexTraceItem(const TCanFrame& frame, bool outgoing)
    : TimeUs(frame.TimeUs), Id(frame.Id), TimeStamp(frame.TimeStamp),
      Len(static_cast<std::int32_t>(frame.Len)), Data(frame.Data), IsRemote(frame.IsRemote),
      IsStandard(frame.IsStandard), IsOutgoing(outgoing) {}

std::string TCorvexTraceItem::GetText() const {
    return GetText(TTraceTimeFormat::Tick, 0);
}

std::string TCorvexTraceItem::GetText(TTraceTimeFormat format, std::int64_t referenceUs) const {
    std::string text;
    text.reserve(72);
    text += IsOutgoing ? "OUT" : "IN ";
    if (format == TTraceTimeFormat::Tick) {
        text += " ts: ";
        text += std::to_string(TimeStamp);
    } else {
        text += " t: ";
        AppendTraceTime(text, format, TimeUs, referenceUs);
    }
    text += "  id: ";
    AppendIdText(text, Id, IsStandard);
    text += "  l: ";
    text += std::to_string(Len);
    text += "  ";
    if (IsRemote) {
        text += "Request";
        return text;
    }
    text += "data: ";
    const int shown = std::clamp(Len, 0, static_cast<int>(Data.size()));
    for (int i = 0; i < shown; ++i) {
        AppendByteText(text, Data[static_cast<std::size_t>(i)]);
        text += ' ';
    }
    return text;
}
