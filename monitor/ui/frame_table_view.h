#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <QTreeView>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "views/sorted_rows.h"
#include "views/table_item.h"

class TCorvexTable;

// One row of the view: the table row it shows, named by RowKey, and a copy of
// that row taken when the change was raised.
struct TListItemFrameTable {
    std::uint32_t RowKey;
    TCorvexTableItem Row;
};

// The rows of the view as a report-style model: "ID", "DLC", "Data", "Count",
// "Period", in the table's order (Key). Texts are made only for the rows
// painted. Window's thread only.
class TFrameTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    static constexpr int DataColumn = 2;
    static constexpr int PeriodColumn = 4;
    // Data column: bit i set when byte i changed within the last ChangedWindowMs.
    static constexpr int ChangedBytesRole = Qt::UserRole + 1;
    static constexpr std::uint32_t ChangedWindowMs = 1000;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    struct TRowKey {
        std::uint32_t operator()(const TListItemFrameTable& item) const { return item.Row.Key; }
    };
    using TRows = TSortedRows<TListItemFrameTable, TRowKey>;

    const TRows& Rows() const { return FRows; }

    // The edits of the table's three events, placed by the row's key: a new
    // row (ignored when the view has it already), a changed one (ignored
    // when the view lacks it), all rows in the table's order.
    void InsertRow(const TCorvexTableItem& row);
    void UpdateRow(const TCorvexTableItem& row);
    void ResetRows(std::vector<TListItemFrameTable> rows);
    // Announces the rows updated since the last call that lie between
    // shownFirst and shownLast (the rows a view shows) in one change signal,
    // and forgets the others: announcing rows off screen costs a tree view
    // time for each of them.
    void FlushUpdates(int shownFirst, int shownLast);

private:
    TRows FRows;
    int FDirtyFirst = -1;
    int FDirtyLast = -1;
};

// The list view that mirrors one frame table at a time through the table's
// events. The events come on whichever thread feeds the table (the receive
// thread while the channel is open): the handlers copy new rows, clears and
// refreshes into FPending, which the window's thread applies in the order
// they were raised, and keep only the latest copy of each changed row in
// FUpdates, applied after them: at full load a row changes many times
// between two repaints, and only its last state is ever shown.
class TListViewFrameTable : public QTreeView {
    Q_OBJECT

public:
    explicit TListViewFrameTable(QWidget* parent = nullptr);
    ~TListViewFrameTable() override;

    // Unhooks the bound table, binds the given one (or none) and hooks its
    // events. The view keeps its rows until the table's next refresh or clear.
    void SetTable(TCorvexTable* table);
    TCorvexTable* Table() const { return FTable; }

    // Applies every change raised so far. Runs by itself on the window's thread
    // ApplyDelayMs after a change; tests and benchmarks call it to catch up at once.
    void ApplyPendingChanges();

    TFrameTableModel* Model() const { return FModel; }

    // How often the view repaints so that highlights of changed bytes go out
    // once they are older than the window.
    static constexpr int HighlightRepaintMs = 250;
    // How long changes gather before the window's thread applies them, so
    // that a channel at full load costs the window a few applies and
    // repaints a second, not one per poll of the receive thread.
    static constexpr int ApplyDelayMs = 40;

private:
    struct TChange {
        enum class TKind { Inserted, Cleared, Refreshed };
        explicit TChange(TKind kind) : Kind(kind) {}
        TKind Kind;
        std::optional<TCorvexTableItem> Row;
        std::vector<TListItemFrameTable> Rows;
    };

    void FitColumns();
    void changeEvent(QEvent* event) override;
    void TableItemChanged(const TCorvexTableItem& row, bool inserted);
    void TableCleared();
    void TableRefresh(TCorvexTable& table);
    void Post(TChange change);
    // Asks the window's thread to apply what is pending; FPendingLock held.
    void PostApply();
    void Apply(TChange& change);

    TFrameTableModel* FModel;
    QTimer* FApplyTimer;            // single shot: ApplyPendingChanges
    TCorvexTable* FTable = nullptr; // window's thread only
    // Written by the thread raising the table's events, drained by the window's
    // thread; FPending, FUpdates and FApplyPosted are guarded by FPendingLock.
    // FUpdates holds only changes newer than everything in FPending.
    std::mutex FPendingLock;
    std::deque<TChange> FPending;
    std::unordered_map<std::uint32_t, TCorvexTableItem> FUpdates; // by Key
    bool FApplyPosted = false;
};
