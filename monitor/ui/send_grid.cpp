#include "send_grid.h"

#include "column_widths.h"

#include "message_box.h"
#include "send_frame_dialog.h"
#include "send_grid_relay.h"
#include "transmit/send_list.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace {

constexpr int kColumnCount = 8;
constexpr int kActiveColumn = 1;
constexpr int kCountColumn = 7;
constexpr int kRowHeight = 22;
constexpr int kSendFlashMs = 100;
// At full bus load counts change thousands of times a second; nobody reads
// them faster than this.
constexpr int kCountUpdateMs = 50;

const std::array<const char*, kColumnCount> kHeaders = {
    "Mnemonic caption", "Active", "Type", "Period", "ID", "DLC", "Data", "Count"};
constexpr std::array<int, kColumnCount> kWidths = {120, 64, 60, 44, 64, 30, 132, 44};
// Room beside a cell's centred text.
constexpr int kCellPadding = 6;
// Longest values: 8-digit extended identifiers, 8 data bytes, counts to 10
// digits, periods to 6.
constexpr int kIdDigits = 8;
constexpr int kDataBytes = 8;
constexpr int kCountDigits = 10;
constexpr int kPeriodDigits = 6;

const QColor kSilver(192, 192, 192);
const QColor kAqua(0, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);

// Text centred on the cell's middle, its top 1 pixel below the cell's top,
// clipped to the cell.
void DrawCellText(QPainter& painter, const QRect& rect, const QString& text, int top = 1) {
    painter.save();
    painter.setClipRect(rect);
    painter.setPen(Qt::black);
    const QRect area(rect.left(), rect.top() + top, rect.width(), rect.height() - top);
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, text);
    painter.restore();
}

QString DataText(const TCanFrame& frame) {
    if (frame.IsRemote)
        return QStringLiteral("Request");
    QString text;
    const std::uint32_t len = std::min<std::uint32_t>(frame.Len, 8);
    for (std::uint32_t i = 0; i < len; ++i)
        text += QStringLiteral("%1 ").arg(frame.Data[i], 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

} // namespace

// The grid's cell texts, like a string grid: row k holds item k. The list
// being empty still gives one (blank) row.
class TSendGridModel : public QAbstractTableModel {
public:
    struct TRow {
        std::array<QString, kColumnCount> Cells;
        TCanSendType Kind = TCanSendType::Single;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(FRows.size()));
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !hasItem(index.row()))
            return {};
        return FRows[static_cast<std::size_t>(index.row())]
            .Cells[static_cast<std::size_t>(index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < kColumnCount)
            return QString::fromLatin1(kHeaders[static_cast<std::size_t>(section)]);
        return {};
    }

    bool hasItem(int row) const { return row >= 0 && row < static_cast<int>(FRows.size()); }
    TCanSendType kind(int row) const { return FRows[static_cast<std::size_t>(row)].Kind; }
    int itemCount() const { return static_cast<int>(FRows.size()); }

    void setRows(std::vector<TRow> rows) {
        beginResetModel();
        FRows = std::move(rows);
        endResetModel();
    }

    void setCell(int row, int column, const QString& text) {
        if (!hasItem(row))
            return;
        QString& cell =
            FRows[static_cast<std::size_t>(row)].Cells[static_cast<std::size_t>(column)];
        if (cell == text)
            return;
        cell = text;
        emit dataChanged(index(row, column), index(row, column));
    }

private:
    std::vector<TRow> FRows;
};

// Header row: silver, the column's header text.
class TSendGridHeader : public QHeaderView {
public:
    TSendGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override {
        painter->fillRect(rect, kSilver);
        painter->setPen(Qt::gray);
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        DrawCellText(*painter, rect,
                     model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString());
    }
};

// sgSendDrawCell: every cell of the item rows.
class TSendGridDelegate : public QStyledItemDelegate {
public:
    TSendGridDelegate(TSendGrid* grid, TSendGridModel* model)
        : QStyledItemDelegate(grid), FOwner(grid), FModel(model),
          FCheckOff(QStringLiteral(":/CHECK_OFF")), FCheckOn(QStringLiteral(":/CHECK_ON")) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (FOwner->FSendList == nullptr)
            return;
        const QRect& rect = option.rect;
        const int row = index.row();
        if (!FModel->hasItem(row)) {
            painter->fillRect(rect, Qt::white);
            return;
        }
        const bool selected = FOwner->FGrid->currentIndex().row() == row;
        painter->fillRect(rect, selected ? kAqua : QColor(Qt::white));
        const QString text = index.data().toString();
        if (index.column() != kActiveColumn) {
            DrawCellText(*painter, rect, text);
            return;
        }
        if (FModel->kind(row) == TCanSendType::Single) {
            DrawSendButton(*painter, rect, row == FOwner->FPressedRow);
            return;
        }
        const QPixmap& glyph = text == QLatin1String("1") ? FCheckOn : FCheckOff;
        const QPoint corner((rect.left() + rect.right() + 1 - FCheckOff.width()) / 2,
                            (rect.top() + rect.bottom() + 1 - FCheckOff.height()) / 2);
        painter->save();
        painter->setClipRect(rect);
        painter->drawPixmap(corner, glyph);
        painter->restore();
    }

    static void DrawSendButton(QPainter& painter, const QRect& rect, bool pressed) {
        painter.save();
        painter.setClipRect(rect);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(kBlue);
        painter.setBrush(pressed ? kYellow : kSilver);
        const QRectF body(QPointF(rect.left() + 6, rect.top() + 2),
                          QPointF(rect.right() + 1 - 6, rect.bottom() + 1 - 2));
        painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter.restore();
        DrawCellText(painter, rect, QStringLiteral("Send"), 4);
    }

private:
    TSendGrid* FOwner;
    TSendGridModel* FModel;
    QPixmap FCheckOff;
    QPixmap FCheckOn;
};

static void InitGlyphResources() {
    Q_INIT_RESOURCE(send_grid);
}

TSendGrid::TSendGrid(QWidget* parent)
    : QWidget(parent), FRelay(std::make_shared<TSendGridCountRelay>([this] {
          QMetaObject::invokeMethod(this, &TSendGrid::scheduleCountFlush, Qt::QueuedConnection);
      })) {
    InitGlyphResources();
    SetupSendGrid();
}

TSendGrid::~TSendGrid() {
    FRelay->Detach();
}

void TSendGrid::SetupSendGrid() {
    FGrid = new QTableView(this);
    FGrid->setObjectName(QStringLiteral("sgSend"));
    FModel = new TSendGridModel(this);
    FGrid->setHorizontalHeader(new TSendGridHeader(FGrid));
    FGrid->setModel(FModel);
    FGrid->setItemDelegate(new TSendGridDelegate(this, FModel));
    FGrid->verticalHeader()->hide();
    FGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    FGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    FGrid->horizontalHeader()->setFixedHeight(kRowHeight);
    FGrid->horizontalHeader()->setHighlightSections(false);
    FitColumns();
    FGrid->setShowGrid(true);
    FGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    FGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->setWordWrap(false);
    FGrid->viewport()->installEventFilter(this);

    FPopup = new QMenu(this);
    FPopup->setObjectName(QStringLiteral("pmSendList"));
    QAction* reset = FPopup->addAction(QStringLiteral("Reset counters"));
    reset->setObjectName(QStringLiteral("Resetcounters1"));
    connect(reset, &QAction::triggered, this, &TSendGrid::Resetcounters1Click);
    FGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { FPopup->popup(FGrid->viewport()->mapToGlobal(pos)); });

    auto* panel = new QWidget(this);
    panel->setFixedWidth(90);
    auto* buttons = new QVBoxLayout(panel);
    buttons->setContentsMargins(4, 0, 0, 0);
    const auto makeButton = [&](const char* name, const char* text, void (TSendGrid::*handler)()) {
        auto* button = new QPushButton(QString::fromLatin1(text), panel);
        button->setObjectName(QString::fromLatin1(name));
        connect(button, &QPushButton::clicked, this, handler);
        buttons->addWidget(button);
        return button;
    };
    btAdd = makeButton("btAdd", "Add", &TSendGrid::AddSendItem);
    btEdit = makeButton("btEdit", "Edit", &TSendGrid::EditSendItem);
    btDelete = makeButton("btDelete", "Remove", &TSendGrid::RemoveSendItem);
    btCopy = makeButton("btCopy", "Copy", &TSendGrid::CopySendItem);
    btUp = makeButton("btUp", "Move Up", &TSendGrid::MoveSendItemUp);
    Button2 = makeButton("Button2", "Move Down", &TSendGrid::MoveSendItemDown);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FGrid, 1);
    layout->addWidget(panel);

    FSendUpdate = new QTimer(this);
    FSendUpdate->setObjectName(QStringLiteral("tmSendUpdate"));
    FSendUpdate->setSingleShot(true);
    FSendUpdate->setInterval(kSendFlashMs);
    connect(FSendUpdate, &QTimer::timeout, this, &TSendGrid::tmSendUpdateTimer);

    FCountUpdate = new QTimer(this);
    FCountUpdate->setSingleShot(true);
    FCountUpdate->setInterval(kCountUpdateMs);
    connect(FCountUpdate, &QTimer::timeout, this, &TSendGrid::flushCounts);
}

void TSendGrid::setHost(TSendGridHost* host) {
    FHost = host;
}

void TSendGrid::setEditorRunner(TEditorRunner runner) {
    FEditorRunner = std::move(runner);
}

bool TSendGrid::isSendTimerActive() const {
    return FSendUpdate->isActive();
}

void TSendGrid::setSendList(TCanSendList* list, int channelIndex) {
    FSendList = list;
    FChannelIndex = channelIndex;
    FRelay->SetChannel(channelIndex);
    FClickRow = -1;
    RefreshSendGrid();
}

bool TSendGrid::isCurrentStandard() const {
    return FHost == nullptr || FHost->IsCurrentChannelStandard();
}

void TSendGrid::bindItemCallbacks() {
    const std::shared_ptr<TSendGridCountRelay> relay = FRelay;
    const TCountChangedEvent changed = [relay](std::int32_t, std::int32_t tag) {
        relay->CountChanged(tag);
    };
    // Tag and callback are read by the sweeps, which hold the same lock.
    auto guard = FSendList->Lock();
    for (int k = 0; k < FSendList->Count(); ++k) {
        TCanSendItem* item = FSendList->Items(k);
        item->Tag = (FChannelIndex << 16) | k;
        item->OnCountChanged = changed;
    }
}

void TSendGrid::RefreshSendGrid() {
    const int current = FGrid->currentIndex().row();
    std::vector<TSendGridModel::TRow> rows;
    if (FSendList != nullptr) {
        bindItemCallbacks();
        FRelay->BeginFlush();
        const int idDigits = isCurrentStandard() ? 3 : 8;
        for (int k = 0; k < FSendList->Count(); ++k) {
            const TCanSendItem& item = *FSendList->Items(k);
            TSendGridModel::TRow row;
            row.Kind = item.SendType;
            row.Cells = {
                QString::fromStdString(item.Caption),
                item.Enabled.load() ? QStringLiteral("1") : QStringLiteral("0"),
                QString::fromStdString(item.GetTypeName()),
                item.SendType == TCanSendType::Periodic ? QString::number(item.Period) : QString(),
                QString::number(item.Frame.Id, 16).toUpper().rightJustified(idDigits, u'0'),
                QString::number(item.Frame.Len),
                DataText(item.Frame),
                QString::number(item.Count.load())};
            rows.push_back(std::move(row));
        }
    }
    FModel->setRows(std::move(rows));
    setCurrentRow(std::clamp(current, 0, FModel->rowCount() - 1));
    FGrid->viewport()->update();
}

void TSendGrid::setCurrentRow(int row) {
    FGrid->setCurrentIndex(FModel->index(row, 0));
    FGrid->viewport()->update();
}

int TSendGrid::selectedIndex() const {
    const int row = FGrid->currentIndex().row();
    if (FSendList == nullptr || row < 0 || row >= FSendList->Count())
        return -1;
    return row;
}

void TSendGrid::selectItem(int index) {
    setCurrentRow(index);
}

bool TSendGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FGrid->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Resize)
            FitCaptionColumn();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // Any button acts; a double click is also a press, as the second
            // click of a pair.
            sgSendMouseDown(mouse->position().toPoint());
            if (type == QEvent::MouseButtonDblClick)
                sgSendDblClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSendGrid::sgSendMouseDown(const QPoint& pos) {
    FClickRow = -1;
    if (FSendList == nullptr || FSendList->Count() == 0)
        return;
    const QModelIndex cell = FGrid->indexAt(pos);
    if (!cell.isValid() || !FModel->hasItem(cell.row()))
        return;
    const int row = cell.row();
    if (cell.column() != kActiveColumn) {
        FClickRow = row;
        return;
    }
    TCanSendItem* item = FSendList->Items(row);
    if (item->SendType != TCanSendType::Single) {
        const bool enabled = !item->Enabled.load();
        item->Enabled.store(enabled);
        FModel->setCell(row, kActiveColumn, enabled ? QStringLiteral("1") : QStringLiteral("0"));
        return;
    }
    if (FHost != nullptr && FHost->IsCurrentChannelOpen())
        item->Send();
    FPressedRow = row;
    FGrid->viewport()->repaint();
    FSendUpdate->start();
}

void TSendGrid::sgSendDblClick() {
    if (FClickRow >= 0)
        EditSendItem();
}

void TSendGrid::tmSendUpdateTimer() {
    FSendUpdate->stop();
    FPressedRow = -1;
    FGrid->viewport()->repaint();
    if (FHost != nullptr && FHost->IsCurrentChannelOpen())
        return;
    if (FHost != nullptr && FHost->AdapterChannelCount() > 1)
        TMessageBoxes::notify(
            QStringLiteral("The channel #%1 is not opened").arg(FChannelIndex + 1), this);
    else
        TMessageBoxes::notify(QStringLiteral("No connection with CanBus adapter"), this);
}

void TSendGrid::scheduleCountFlush() {
    if (!FCountUpdate->isActive())
        FCountUpdate->start();
}

void TSendGrid::flushCounts() {
    // First: a count raised after this point queues another update.
    FRelay->BeginFlush();
    if (FSendList == nullptr)
        return;
    const int rows = std::min(FSendList->Count(), FModel->itemCount());
    for (int k = 0; k < rows; ++k)
        FModel->setCell(k, kCountColumn, QString::number(FSendList->Items(k)->Count.load()));
}

bool TSendGrid::runEditor(TfmSendFrame& editor) {
    if (FEditorRunner)
        return FEditorRunner(editor);
    return editor.exec() == QDialog::Accepted;
}

void TSendGrid::AddSendItem() {
    if (FSendList == nullptr)
        return;
    TfmSendFrame editor(this);
    editor.Mode = TfmSendFrame::ModeAdd;
    editor.IsStandard = isCurrentStandard();
    if (!runEditor(editor))
        return;
    if (std::unique_ptr<TCanSendItem> item = editor.TakeNewItem()) {
        FSendList->Add(std::move(item));
        RefreshSendGrid();
    }
}

void TSendGrid::EditSendItem() {
    const int index = selectedIndex();
    if (index < 0)
        return;
    TfmSendFrame editor(this);
    editor.Mode = TfmSendFrame::ModeEdit;
    editor.IsStandard = isCurrentStandard();
    editor.Item = FSendList->Items(index);
    editor.List = FSendList;
    if (runEditor(editor))
        RefreshSendGrid();
}

void TSendGrid::RemoveSendItem() {
    const int index = selectedIndex();
    if (index < 0)
        return;
    if (!TMessageBoxes::ask(QStringLiteral("Are you sure you want to remove this item?"), this))
        return;
    FSendList->Delete(index);
    RefreshSendGrid();
}

void TSendGrid::CopySendItem() {
    const int index = selectedIndex();
    if (index < 0)
        return;
    auto copy = std::make_unique<TCanSendItem>();
    copy->Assign(*FSendList->Items(index));
    FSendList->Add(std::move(copy));
    RefreshSendGrid();
}

void TSendGrid::MoveSendItemDown() {
    const int index = selectedIndex();
    if (index < 0 || !FSendList->MoveDown(index))
        return;
    setCurrentRow(index + 1);
    RefreshSendGrid();
}

void TSendGrid::MoveSendItemUp() {
    const int index = selectedIndex();
    if (index < 0 || !FSendList->MoveUp(index))
        return;
    setCurrentRow(index - 1);
    RefreshSendGrid();
}

void TSendGrid::Resetcounters1Click() {
    if (FSendList == nullptr)
        return;
    FSendList->ResetCounters();
    flushCounts();
}

// Every column keeps its designed width unless its longest value (or its
// header) would be cut off in the grid's font.
void TSendGrid::FitColumns() {
    const QFontMetrics metrics(FGrid->font());
    const std::array<QStringList, kColumnCount> samples = {
        QStringList{},
        QStringList{},
        QStringList{QStringLiteral("Single"), QStringLiteral("Periodic"),
                    QStringLiteral("OnRequest")},
        QStringList{WidestDigits(metrics, kPeriodDigits)},
        QStringList{WidestHexDigits(metrics, kIdDigits)},
        QStringList{WidestDigits(metrics, 1)},
        QStringList{WidestHexBytes(metrics, kDataBytes), QStringLiteral("Request")},
        QStringList{WidestDigits(metrics, kCountDigits)},
    };
    for (int column = 0; column < kColumnCount; ++column) {
        const auto slot = static_cast<std::size_t>(column);
        QStringList texts = samples[slot];
        texts.append(QString::fromLatin1(kHeaders[slot]));
        FGrid->setColumnWidth(column, FittedWidth(metrics, kWidths[slot], texts, kCellPadding));
    }
    FitCaptionColumn();
}

// The caption is free text, cut off at any width: it gives up room, down to
// its header's width, so that the value columns all fit in the grid.
void TSendGrid::FitCaptionColumn() {
    int others = 0;
    for (int column = 1; column < kColumnCount; ++column)
        others += FGrid->columnWidth(column);
    const QFontMetrics metrics(FGrid->font());
    const int least = FittedWidth(metrics, 0, {QString::fromLatin1(kHeaders[0])}, kCellPadding);
    FGrid->setColumnWidth(0, std::clamp(FGrid->viewport()->width() - others, least, kWidths[0]));
}

void TSendGrid::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && FGrid != nullptr)
        FitColumns();
}
