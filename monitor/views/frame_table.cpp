#include "views/frame_table.h"

#include "model/can_frame.h"

void TCorvexTable::Update(const TCanFrame& frame) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    const std::uint32_t key = TCorvexTableItem::MakeKey(frame.Id, frame.IsStandard, frame.IsRemote);
    const std::size_t index = LowerBound(key);
    const bool inserted = index == FItems.size() || FItems[index]->Key != key;
    if (inserted)
        FItems.insert(
            FItems.begin() + static_cast<std::ptrdiff_t>(index),
            std::make_unique<TCorvexTableItem>(frame.Id, frame.IsStandard, frame.IsRemote));
    TCorvexTableItem* row = FItems[index].get();
    row->Update(frame);
    if (FOnItemChanged)
        FOnItemChanged(row, static_cast<int>(index), inserted);
}

// Binary search for the first row whose key is not below the given one; it
// finds the same row and the same place as a walk from the start.
std::size_t TCorvexTable::LowerBound(std::uint32_t key) const {
    std::size_t low = 0;
    std::size_t high = FItems.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (FItems[middle]->Key < key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void TCorvexTable::Clear() {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FItems.clear();
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
