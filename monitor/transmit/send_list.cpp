#include "transmit/send_list.h"

#include <utility>

#include "platform/settings_dir.h"
#include "platform/text_file.h"

TCanSendList::TCanSendList() : FDirectory(platform::SettingsDir()) {}

// A list that no channel has named is nobody's file, so it is not written.
// Save reports failures through LastError(); here nobody is left to read it.
TCanSendList::~TCanSendList() {
    if (!Name.empty())
        Save();
}

void TCanSendList::Add(std::unique_ptr<TCanSendItem> item) {
    std::lock_guard<std::mutex> lock(FLock);
    item->OnSend = FOnSend;
    FItems.push_back(std::move(item));
}

bool TCanSendList::Delete(int index) {
    std::unique_ptr<TCanSendItem> removed;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (index < 0 || index >= Count())
            return false;
        removed = std::move(FItems[static_cast<std::size_t>(index)]);
        FItems.erase(FItems.begin() + index);
    }
    return true; // the item is freed here, outside the lock
}

TCanSendItem* TCanSendList::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return FItems[static_cast<std::size_t>(index)].get();
}

bool TCanSendList::MoveDown(int index) {
    std::lock_guard<std::mutex> lock(FLock);
    if (index < 0 || index >= Count() - 1)
        return false;
    std::swap(FItems[static_cast<std::size_t>(index)], FItems[static_cast<std::size_t>(index) + 1]);
    return true;
}

bool TCanSendList::MoveUp(int index) {
    std::lock_guard<std::mutex> lock(FLock);
    if (index < 1 || index >= Count())
        return false;
    std::swap(FItems[static_cast<std::size_t>(index)], FItems[static_cast<std::size_t>(index) - 1]);
    return true;
}

std::string TCanSendList::GetFileName() const {
    return FDirectory + "trans_list_" + Name + ".dat";
}

void TCanSendList::SendPeriodic(std::uint32_t now) {
    std::lock_guard<std::mutex> lock(FLock);
    for (const auto& item : FItems) {
        if (item->SendType != TCanSendType::Periodic || !item->Enabled.load())
            continue;
        const std::uint32_t elapsed = now - item->LastSendTime.load(); // right across a wrap
        if (static_cast<std::int64_t>(elapsed) >= item->Period)
            item->Send();
    }
}

void TCanSendList::SendOnRequest() {
    std::lock_guard<std::mutex> lock(FLock);
    for (const auto& item : FItems)
        if (item->SendType == TCanSendType::OnRequest && item->Enabled.load())
            item->Send();
}

void TCanSendList::ResetCounters() {
    std::lock_guard<std::mutex> lock(FLock);
    for (const auto& item : FItems)
        item->ResetCount();
}

void TCanSendList::SetStandard(bool isStandard) {
    std::lock_guard<std::mutex> lock(FLock);
    IsStandard = isStandard;
    for (const auto& item : FItems)
        item->Frame.IsStandard = isStandard;
}

void TCanSendList::SetOnSend(TCanSendEvent handler) {
    std::lock_guard<std::mutex> lock(FLock);
    FOnSend = std::move(handler);
    for (const auto& item : FItems)
        item->OnSend = FOnSend;
}
