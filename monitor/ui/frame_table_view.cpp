#include "frame_table_view.h"

#include "column_widths.h"

#include "platform/tick_count.h"
#include "views/frame_table.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTimer>

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
// Room beside a cell's text for the style's margins.
constexpr int kCellPadding = 12;
const QColor kChangedByte(255, 230, 120);

// Draws the data column byte by byte, each byte that changed within the last
// second on a highlight.
class TDataBytesDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const uint changed = index.data(TFrameTableModel::ChangedBytesRole).toUInt();
        if (changed == 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        const QString text = plain.text;
        plain.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, widget);
        // The style draws item text this far inside its text rectangle.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &plain, widget)
                               .adjusted(margin, 0, -margin, 0);
        const QFontMetrics metrics(option.font);
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        // "AA BB CC": byte i starts at character 3 i.
        for (int i = 0; 3 * i + 1 < text.size(); ++i) {
            const QString byte = text.mid(3 * i, 2);
            const int x = area.left() + metrics.horizontalAdvance(text.left(3 * i));
            const QRect box(x, area.top(), metrics.horizontalAdvance(byte), area.height());
            if (changed & (1u << i))
                painter->fillRect(box, kChangedByte);
            painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, byte);
        }
        painter->restore();
    }
};
} // namespace

int TFrameTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TFrameTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant TFrameTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(FRows.size()))
        return {};
    const TCorvexTableItem& row = FRows[static_cast<std::size_t>(index.row())].Row;
    if (role == ChangedBytesRole && index.column() == DataColumn && !row.IsRemote)
        return row.ChangedBytes(platform::TickCount(), ChangedWindowMs);
    if (role == Qt::ToolTipRole && index.column() == PeriodColumn)
        return QString::fromStdString(row.GetPeriodSpreadText());
    if (role != Qt::DisplayRole)
        return {};
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

void TFrameTableModel::InsertRow(const TCorvexTableItem& row) {
    std::size_t index = 0;
    if (FRows.Find(row.Key, index) != nullptr)
        return;
    // Rows changed at or after the new one move down by one.
    if (FDirtyFirst >= 0 && static_cast<int>(index) <= FDirtyLast) {
        ++FDirtyLast;
        if (static_cast<int>(index) <= FDirtyFirst)
            ++FDirtyFirst;
    }
    beginInsertRows({}, static_cast<int>(index), static_cast<int>(index));
    FRows.Insert(TListItemFrameTable{row.GetRowKey(), row}, index);
    endInsertRows();
}

void TFrameTableModel::UpdateRow(const TCorvexTableItem& row) {
    std::size_t found = 0;
    TListItemFrameTable* item = FRows.Find(row.Key, found);
    if (item == nullptr)
        return;
    item->Row = row;
    const int index = static_cast<int>(found);
    FDirtyFirst = FDirtyFirst < 0 ? index : std::min(FDirtyFirst, index);
    FDirtyLast = std::max(FDirtyLast, index);
}

void TFrameTableModel::ResetRows(std::vector<TListItemFrameTable> rows) {
    FDirtyFirst = FDirtyLast = -1;
    beginResetModel();
    FRows.Assign(std::move(rows));
    endResetModel();
}

void TFrameTableModel::FlushUpdates(int shownFirst, int shownLast) {
    const int first = std::max(FDirtyFirst, shownFirst);
    const int last = std::min(FDirtyLast, shownLast);
    if (FDirtyFirst >= 0 && first <= last)
        emit dataChanged(index(first, 1), index(last, columnCount() - 1), {Qt::DisplayRole});
    FDirtyFirst = FDirtyLast = -1;
}

TListViewFrameTable::TListViewFrameTable(QWidget* parent)
    : QTreeView(parent), FModel(new TFrameTableModel(this)), FApplyTimer(new QTimer(this)) {
    FApplyTimer->setSingleShot(true);
    FApplyTimer->setInterval(ApplyDelayMs);
    connect(FApplyTimer, &QTimer::timeout, this, &TListViewFrameTable::ApplyPendingChanges);
    setModel(FModel);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    FitColumns();
    setItemDelegateForColumn(TFrameTableModel::DataColumn, new TDataBytesDelegate(this));
    auto* repaint = new QTimer(this);
    connect(repaint, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    repaint->start(HighlightRepaintMs);
}

// Every column keeps its designed width unless its longest value would be cut
// off in the view's font: 8-digit identifiers, 8 data bytes, counts and
// periods to 10 digits.
void TListViewFrameTable::FitColumns() {
    const QFontMetrics metrics(font());
    const QString bytes = WidestHexBytes(metrics, 8).trimmed();
    const std::array<QStringList, kColumns.size()> samples = {
        QStringList{WidestHexDigits(metrics, 8)},      QStringList{WidestDigits(metrics, 1)},
        QStringList{bytes, QStringLiteral("Request")}, QStringList{WidestDigits(metrics, 10)},
        QStringList{WidestDigits(metrics, 10)},
    };
    for (std::size_t column = 0; column < kColumns.size(); ++column) {
        QStringList texts = samples[column];
        texts.append(QString::fromLatin1(kColumns[column].Caption));
        header()->resizeSection(static_cast<int>(column),
                                FittedWidth(metrics, kColumns[column].Width, texts, kCellPadding));
    }
}

void TListViewFrameTable::changeEvent(QEvent* event) {
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitColumns();
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
        FUpdates.clear();
    }
    FTable = table;
    if (table == nullptr)
        return;
    table->SetOnItemChanged(
        [this](TCorvexTableItem* row, int, bool inserted) { TableItemChanged(*row, inserted); });
    table->SetOnCleared([this] { TableCleared(); });
    table->SetOnRefresh([this, table] { TableRefresh(*table); });
}

void TListViewFrameTable::TableItemChanged(const TCorvexTableItem& row, bool inserted) {
    if (inserted) {
        TChange change(TChange::TKind::Inserted);
        change.Row = row;
        Post(std::move(change));
        return;
    }
    const bool onWindowThread = QThread::currentThread() == thread();
    {
        std::lock_guard lock(FPendingLock);
        FUpdates.insert_or_assign(row.Key, row);
        if (!onWindowThread)
            PostApply();
    }
    if (onWindowThread)
        ApplyPendingChanges();
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
        // A clear or a refresh brings every row's state; older changes of
        // single rows are superseded.
        if (change.Kind != TChange::TKind::Inserted)
            FUpdates.clear();
        FPending.push_back(std::move(change));
        if (!onWindowThread)
            PostApply();
    }
    // A change made on the window's thread (the channel is closed) shows at once.
    if (onWindowThread)
        ApplyPendingChanges();
}

void TListViewFrameTable::PostApply() {
    if (FApplyPosted)
        return;
    FApplyPosted = true;
    QMetaObject::invokeMethod(FApplyTimer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void TListViewFrameTable::ApplyPendingChanges() {
    std::deque<TChange> changes;
    std::unordered_map<std::uint32_t, TCorvexTableItem> updates;
    {
        std::lock_guard lock(FPendingLock);
        changes.swap(FPending);
        updates.swap(FUpdates);
        FApplyPosted = false;
    }
    for (TChange& change : changes)
        Apply(change);
    for (const auto& update : updates)
        FModel->UpdateRow(update.second);
    // Only rows on screen are announced: a row scrolled into view later is
    // painted from the model as it is then.
    int first = -1;
    int last = -2;
    if (isVisible() && FModel->rowCount() > 0) {
        const QModelIndex top = indexAt(QPoint(0, 0));
        const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
        first = top.isValid() ? top.row() : 0;
        last = bottom.isValid() ? bottom.row() : FModel->rowCount() - 1;
    }
    FModel->FlushUpdates(first, last);
}

void TListViewFrameTable::Apply(TChange& change) {
    switch (change.Kind) {
    case TChange::TKind::Cleared:
        FModel->ResetRows({});
        return;
    case TChange::TKind::Refreshed:
        FModel->ResetRows(std::move(change.Rows));
        return;
    case TChange::TKind::Inserted:
        FModel->InsertRow(*change.Row);
        return;
    }
}
