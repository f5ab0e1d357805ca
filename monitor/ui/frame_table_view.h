#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "views/table_item.h"

class TCorvexTable;

// One row of the view: the table row it shows, named by RowKey, and a copy of
// that row taken when the change was raised.
struct TListItemFrameTable {
    std::uint32_t RowKey;
    TCorvexTableItem Row;
};

// The rows of the view as a report-style model: "ID", "DLC", "Data", "Count",
// "Period". Texts are made only for the rows painted. Window's thread only.
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

    const std::vector<TListItemFrameTable>& Rows() const { return FRows; }

    // The edits of the table's three events, in the order they were raised.
    void InsertRow(int index, const TCorvexTableItem& row);
    void UpdateRow(int index, const TCorvexTableItem& row);
    void ResetRows(std::vector<TListItemFrameTable> rows);
    // Announces the rows updated since the last call in one change signal.
    void FlushUpdates();

private:
    std::vector<TListItemFrameTable> FRows;
    int FDirtyFirst = -1;
    int FDirtyLast = -1;
};

// The list view that mirrors one frame table at a time through the table's
// events. The events come on whichever thread feeds the table (the receive
// thread while the channel is open): the handlers copy the changed rows into
// FPending and the window's thread applies them in the order they were raised.
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
    // soon after a change; tests and benchmarks call it to catch up at once.
    void ApplyPendingChanges();

    TFrameTableModel* Model() const { return FModel; }

    // How often the view repaints so that highlights of changed bytes go out
    // once they are older than the window.
    static constexpr int HighlightRepaintMs = 250;

private:
    struct TChange {
        enum class TKind { Changed, Cleared, Refreshed };
        explicit TChange(TKind kind, int index = 0, bool inserted = false)
            : Kind(kind), Index(index), Inserted(inserted) {}
        TKind Kind;
        int Index;
        bool Inserted;
        std::optional<TCorvexTableItem> Row;
        std::vector<TListItemFrameTable> Rows;
    };

    void FitColumns();
    void changeEvent(QEvent* event) override;
    void TableItemChanged(TCorvexTableItem* row, int index, bool inserted);
    void TableCleared();
    void TableRefresh(TCorvexTable& table);
    void Post(TChange change);
    void Apply(TChange& change);

    TFrameTableModel* FModel;
    TCorvexTable* FTable = nullptr; // window's thread only
    // Written by the thread raising the table's events, drained by the window's
    // thread; FPending and FApplyPosted are guarded by FPendingLock.
    std::mutex FPendingLock;
    std::deque<TChange> FPending;
    bool FApplyPosted = false;
};
