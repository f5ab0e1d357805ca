#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "views/sorted_rows.h"
#include "views/table_item.h"

class TCanFrame;

// A channel's frame table: one row per identifier, format and type, kept in
// ascending order of Key. A new identifier moves no other row, however many
// there are (TSortedRows).
//
// Shared between the channel's receive thread (Update, ProcessRequests and
// the events they raise) and the window's thread (RequestClear,
// RequestRefresh, event binding, ReadItem; Clear and Refresh while the channel
// is closed). Safety: every operation on the rows and on the events holds
// FLock, a recursive mutex that also stays held while an event runs, so
//  - no thread reads a row while another writes it;
//  - a handler may call back into the table (Count, Items, ReadItem) on the
//    raising thread;
//  - once an event setter returns, the old handler is not running and is
//    never raised again.
// Handlers must not wait for another thread that may be waiting for FLock
// (for instance a blocking hand-over to the window's thread).
// The request flags are atomics set by the window and reset by the thread
// that carries the request out.
class TCorvexTable {
public:
    using TItemChangedEvent = std::function<void(TCorvexTableItem* row, int index, bool inserted)>;
    using TNotifyEvent = std::function<void()>;

    TCorvexTable() = default;
    TCorvexTable(const TCorvexTable&) = delete;
    TCorvexTable& operator=(const TCorvexTable&) = delete;

    // Enters one received frame and raises exactly one OnItemChanged.
    void Update(const TCanFrame& frame);
    // Frees all rows, resets ClearPending, raises OnCleared.
    void Clear();
    // Resets RefreshPending, raises OnRefresh; the rows stay.
    void Refresh();
    void RequestClear() { ClearPending.store(true); }
    void RequestRefresh() { RefreshPending.store(true); }
    // Refresh when asked, then Clear when asked (so both leave the view empty).
    void ProcessRequests();

    int Count() const;
    // The row at the index, or nullptr outside 0..Count()-1. The pointer is
    // for the thread that feeds the table (inside an event, or while the
    // channel is closed); other threads use ReadItem.
    TCorvexTableItem* Items(int index);
    // Copies the row at the index under the lock; false outside the table.
    bool ReadItem(int index, TCorvexTableItem& row) const;

    void SetOnItemChanged(TItemChangedEvent handler);
    void SetOnCleared(TNotifyEvent handler);
    void SetOnRefresh(TNotifyEvent handler);
    TItemChangedEvent GetOnItemChanged() const;

    std::atomic<bool> ClearPending{false};
    std::atomic<bool> RefreshPending{false};

private:
    struct TRowKey {
        std::uint32_t operator()(const std::unique_ptr<TCorvexTableItem>& row) const {
            return row->Key;
        }
    };

    mutable std::recursive_mutex FLock;
    // Guarded by FLock. Rows are allocated one by one so that the pointers
    // handed out stay valid while chunks move.
    TSortedRows<std::unique_ptr<TCorvexTableItem>, TRowKey> FItems;
    TItemChangedEvent FOnItemChanged; // guarded by FLock
    TNotifyEvent FOnCleared;          // guarded by FLock
    TNotifyEvent FOnRefresh;          // guarded by FLock
};
