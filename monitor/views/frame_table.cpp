#include "views/frame_table.h"

#include "model/can_frame.h"

void TCorvexTable::Update(const TCanFrame& frame) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    const std::uint32_t key = TCorvexTableItem::MakeKey(frame.Id, frame.IsStandard, frame.IsRemote);
    std::size_t index = 0;
    std::unique_ptr<TCorvexTableItem>* slot = FItems.Find(key, index);
    const bool inserted = slot == nullptr;
    if (inserted)
        slot = &FItems.Insert(
            std::make_unique<TCorvexTableItem>(frame.Id, frame.IsStandard, frame.IsRemote), index);
    TCorvexTableItem* row = slot->get();
    row->Update(frame);
    if (FOnItemChanged)
        FOnItemChanged(row, static_cast<int>(index), inserted);
}

void TCorvexTable::Clear() {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FItems.Clear();
    ClearPending.store(false);
    if (FOnCleared)
        FOnCleared();
}

void TCorvexTable::Refresh() {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    RefreshPending.store(false);
    if (FOnRefresh)
        FOnRefresh();
}

void TCorvexTable::ProcessRequests() {
    if (RefreshPending.load())
        Refresh();
    if (ClearPending.load())
        Clear();
}

int TCorvexTable::Count() const {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return static_cast<int>(FItems.size());
}

TCorvexTableItem* TCorvexTable::Items(int index) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    if (index < 0 || static_cast<std::size_t>(index) >= FItems.size())
        return nullptr;
    return FItems[static_cast<std::size_t>(index)].get();
}

bool TCorvexTable::ReadItem(int index, TCorvexTableItem& row) const {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    if (index < 0 || static_cast<std::size_t>(index) >= FItems.size())
        return false;
    row = *FItems[static_cast<std::size_t>(index)];
    return true;
}

void TCorvexTable::SetOnItemChanged(TItemChangedEvent handler) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FOnItemChanged = std::move(handler);
}

void TCorvexTable::SetOnCleared(TNotifyEvent handler) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FOnCleared = std::move(handler);
}

void TCorvexTable::SetOnRefresh(TNotifyEvent handler) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FOnRefresh = std::move(handler);
}

TCorvexTable::TItemChangedEvent TCorvexTable::GetOnItemChanged() const {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return FOnItemChanged;
}
