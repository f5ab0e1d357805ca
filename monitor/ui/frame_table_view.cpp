#include "frame_table_view.h"

#include "views/frame_table.h"

#include <QHeaderView>
#include <QThread>

#include <algorithm>
#include <array>

namespace {
struct TColumn {
    const char* Caption;
    int Width;
};
constexpr std::array<TColumn, 5> kColumns{{
    {"ID", 72},
    {"DLC", 36},
    {"Data", 240},
    {"Count", 60},
    {"Period", 60},
}};
} // namespace

int TFrameTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TFrameTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant TFrameTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        index.row() >= static_cast<int>(FRows.size()))
        return {};
    const TCorvexTableItem& row = FRows[static_cast<std::size_t>(index.row())].Row;
    if (index.column() == 0)
        return QString::fromStdString(row.GetIdText());
    return QString::fromStdString(row.GetColumnText(index.column() - 1));
}

QVariant TFrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(kColumns.size()))
        return {};
    return QString::fromLatin1(kColumns[static_cast<std::size_t>(section)].Caption);
}

void TFrameTableModel::InsertRow(int index, const TCorvexTableItem& row) {
    FlushUpdates();
    beginInsertRows({}, index, index);
    FRows.insert(FRows.begin() + index, TListItemFrameTable{row.GetRowKey(), row});
    endInsertRows();
}

void TFrameTableModel::UpdateRow(int index, const TCorvexTableItem& row) {
    FRows[static_cast<std::size_t>(index)].Row = row;
    FDirtyFirst = FDirtyFirst < 0 ? index : std::min(FDirtyFirst, index);
    FDirtyLast = std::max(FDirtyLast, index);
}

void TFrameTableModel::ResetRows(std::vector<TListItemFrameTable> rows) {
    FDirtyFirst = FDirtyLast = -1;
    beginResetModel();
    FRows = std::move(rows);
    endResetModel();
}

void TFrameTableModel::FlushUpdates() {
    if (FDirtyFirst < 0)
        return;
    emit dataChanged(index(FDirtyFirst, 1), index(FDirtyLast, columnCount() - 1),
                     {Qt::DisplayRole});
    FDirtyFirst = FDirtyLast = -1;
}

TListViewFrameTable::TListViewFrameTable(QWidget* parent)
    : QTreeView(parent), FModel(new TFrameTableModel(this)) {
    setModel(FModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    for (std::size_t column = 0; column < kColumns.size(); ++column)
        header()->resizeSection(static_cast<int>(column), kColumns[column].Width);
}

TListViewFrameTable::~TListViewFrameTable() {
    SetTable(nullptr);
}

void TListViewFrameTable::SetTable(TCorvexTable* table) {
    if (FTable != nullptr) {
        // Once the setters return, no handler of the old table runs any more,
        // so what is still pending belongs to the old table and is dropped.
        FTable->SetOnItemChanged(nullptr);
        FTable->SetOnCleared(nullptr);
        FTable->SetOnRefresh(nullptr);
        std::lock_guard lock(FPendingLock);
        FPending.clear();
    }
    FTable = table;
    if (table == nullptr)
        return;
    table->SetOnItemChanged([this](TCorvexTableItem* row, int index, bool inserted) {
        TableItemChanged(row, index, inserted);
    });
    table->SetOnCleared([this] { TableCleared(); });
    table->SetOnRefresh([this, table] { TableRefresh(*table); });
}

void TListViewFrameTable::TableItemChanged(TCorvexTableItem* row, int index, bool inserted) {
    TChange change(TChange::TKind::Changed, index, inserted);
    change.Row = *row;
    Post(std::move(change));
}

void TListViewFrameTable::TableCleared() {
    Post(TChange(TChange::TKind::Cleared));
}

void TListViewFrameTable::TableRefresh(TCorvexTable& table) {
    // Raised with the table's lock held, on the thread that feeds it, so the
    // rows are copied here without racing a writer.
    TChange change(TChange::TKind::Refreshed);
    change.Rows.reserve(static_cast<std::size_t>(table.Count()));
    for (int i = 0; i < table.Count(); ++i) {
        const TCorvexTableItem* row = table.Items(i);
        change.Rows.push_back({row->GetRowKey(), *row});
    }
    Post(std::move(change));
}

void TListViewFrameTable::Post(TChange change) {
    const bool onWindowThread = QThread::currentThread() == thread();
    {
        std::lock_guard lock(FPendingLock);
        FPending.push_back(std::move(change));
        if (!onWindowThread && !FApplyPosted) {
            FApplyPosted = true;
            QMetaObject::invokeMethod(this, &TListViewFrameTable::ApplyPendingChanges,
                                      Qt::QueuedConnection);
        }
    }
    // A change made on the window's thread (the channel is closed) shows at once.
    if (onWindowThread)
        ApplyPendingChanges();
}

void TListViewFrameTable::ApplyPendingChanges() {
    std::deque<TChange> changes;
    {
        std::lock_guard lock(FPendingLock);
        changes.swap(FPending);
        FApplyPosted = false;
    }
    for (TChange& change : changes)
        Apply(change);
    FModel->FlushUpdates();
}

void TListViewFrameTable::Apply(TChange& change) {
    const int size = FModel->rowCount();
    switch (change.Kind) {
    case TChange::TKind::Cleared:
        FModel->ResetRows({});
        return;
    case TChange::TKind::Refreshed:
        FModel->ResetRows(std::move(change.Rows));
        return;
    case TChange::TKind::Changed:
        break;
    }
    const TCorvexTableItem& row = *change.Row;
    if (change.Inserted) {
        // An index past the end means the view is not in step with the table
        // (a refresh is on its way); inserting anywhere else would misplace it.
        if (change.Index >= 0 && change.Index <= size)
            FModel->InsertRow(change.Index, row);
        return;
    }
    if (change.Index >= 0 && change.Index < size &&
        FModel->Rows()[static_cast<std::size_t>(change.Index)].RowKey == row.GetRowKey())
        FModel->UpdateRow(change.Index, row);
}
