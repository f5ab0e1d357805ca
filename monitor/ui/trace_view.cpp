#include "trace_view.h"

#include "message_box.h"

#include "views/trace_list.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
// Widest trace line: direction, time stamp, extended identifier, eight bytes.
constexpr int kWidestLine = 80;
constexpr int kMargin = 2;
} // namespace

TTraceView::TTraceView(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
}

void TTraceView::SetTraceList(TCorvexTraceList* list) {
    FList = list;
    Clear();
}

bool TTraceView::CatchUp() {
    if (FPaused)
        return false;
    const int before = FLines;
    const int dropped = FDropped;
    const int lines = CountLines();
    if (lines == before && FDropped == dropped)
        return false;
    FLines = lines;
    if (FCurrent >= FLines)
        FAnchor = FCurrent = -1;
    UpdateScrollBars();
    viewport()->update();
    return true;
}

// Brings the line mapping up to the list: drops lines whose entries the list
// no longer keeps, then takes in the new entries.
int TTraceView::CountLines() {
    if (FList == nullptr)
        return 0;
    const int count = FList->Count();
    const int first = FList->First();
    if (!FFilter.IsActive()) {
        if (first > FBase) {
            DropFrontLines(std::min(first - FBase, FLines));
            FBase = first;
        }
        return std::max(0, count - FBase);
    }
    const auto kept = std::lower_bound(FMatches.begin(), FMatches.end(), first);
    if (kept != FMatches.begin()) {
        DropFrontLines(static_cast<int>(kept - FMatches.begin()));
        FMatches.erase(FMatches.begin(), kept);
    }
    const int end = std::min(count, std::max(FScanned, first) + FilterScanPerCatchUp);
    for (int i = std::max(FScanned, first); i < end; ++i) {
        const TCorvexTraceItem* item = FList->Items(i);
        if (item != nullptr && FFilter.Matches(*item))
            FMatches.push_back(i);
    }
    FScanned = end;
    return static_cast<int>(FMatches.size());
}

void TTraceView::DropFrontLines(int count) {
    if (count <= 0)
        return;
    FDropped += count;
    FLines -= count;
    FAnchor = FAnchor - count < 0 ? -1 : FAnchor - count;
    FCurrent = FCurrent - count < 0 ? -1 : FCurrent - count;
    if (FAnchor < 0 || FCurrent < 0)
        FAnchor = FCurrent = -1;
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(std::max(0, bar->value() - count));
}

void TTraceView::Clear() {
    FLines = 0;
    FBase = 0;
    FMatches.clear();
    FScanned = 0;
    // Still paused: arrivals count from now, in the list now bound.
    FPauseCount = FPaused && FList != nullptr ? FList->Count() : 0;
    FAnchor = FCurrent = -1;
    UpdateScrollBars();
    viewport()->update();
}

void TTraceView::ScrollToEnd() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool TTraceView::IsAtEnd() const {
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void TTraceView::SetFilter(const TTraceFilter& filter) {
    if (filter == FFilter)
        return;
    FFilter = filter;
    FLines = 0;
    FBase = FList != nullptr ? FList->First() : 0;
    FMatches.clear();
    FScanned = 0;
    FAnchor = FCurrent = -1;
    // A new filter shows its lines at once, paused or not.
    FLines = CountLines();
    UpdateScrollBars();
    viewport()->update();
}

void TTraceView::SetPaused(bool paused) {
    FPaused = paused;
    FPauseCount = paused && FList != nullptr ? FList->Count() : 0;
}

int TTraceView::ArrivedSincePause() const {
    if (!FPaused || FList == nullptr)
        return 0;
    return std::max(0, FList->Count() - FPauseCount);
}

bool TTraceView::Find(const TTraceQuery& query, bool forward) {
    if (FList == nullptr || FLines == 0)
        return false;
    const int start =
        FCurrent >= 0 ? FCurrent + (forward ? 1 : -1) : (forward ? FirstVisibleLine() : FLines - 1);
    for (int k = start; k >= 0 && k < FLines; k += forward ? 1 : -1) {
        const TCorvexTraceItem* item = FList->Items(EntryOf(k));
        if (item == nullptr || !query.Matches(*item))
            continue;
        FAnchor = FCurrent = k;
        QScrollBar* bar = verticalScrollBar();
        if (k < bar->value() || k >= bar->value() + VisibleLineCount())
            bar->setValue(k - VisibleLineCount() / 2);
        viewport()->update();
        return true;
    }
    return false;
}

int TTraceView::EntryOf(int line) const {
    return FFilter.IsActive() ? FMatches[static_cast<std::size_t>(line)] : FBase + line;
}

QString TTraceView::LineText(int k) const {
    if (FList == nullptr || k < 0 || k >= FLines)
        return {};
    const TCorvexTraceItem* item = FList->Items(EntryOf(k));
    if (item == nullptr)
        return {};
    std::int64_t reference = FList->StartUs();
    if (FTimeFormat == TTraceTimeFormat::Delta) {
        const TCorvexTraceItem* previous = k > 0 ? FList->Items(EntryOf(k - 1)) : nullptr;
        reference = previous != nullptr ? previous->TimeUs : item->TimeUs;
    }
    return QString::fromStdString(item->GetText(FTimeFormat, reference));
}

void TTraceView::SetTimeFormat(TTraceTimeFormat format) {
    FTimeFormat = format;
    viewport()->update();
}

int TTraceView::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

int TTraceView::VisibleLineCount() const {
    return std::max(1, (viewport()->height() - kMargin) / FLineHeight);
}

void TTraceView::UpdateScrollBars() {
    const QFontMetrics metrics(font());
    FLineHeight = std::max(1, metrics.lineSpacing());
    FCharWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    const int page = VisibleLineCount();
    verticalScrollBar()->setRange(0, std::max(0, FLines - page));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
    const int width = kWidestLine * FCharWidth + 2 * kMargin;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(FCharWidth);
}

void TTraceView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int first = FirstVisibleLine();
    const int last = std::min(FLines, first + VisibleLineCount() + 1);
    const int low = std::min(FAnchor, FCurrent);
    const int high = std::max(FAnchor, FCurrent);
    const int x = kMargin - horizontalScrollBar()->value();
    for (int k = first; k < last; ++k) {
        const int top = kMargin + (k - first) * FLineHeight;
        const bool selected = low >= 0 && k >= low && k <= high;
        if (selected) {
            painter.fillRect(0, top, viewport()->width(), FLineHeight,
                             palette().brush(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::HighlightedText));
        } else {
            painter.setPen(palette().color(QPalette::Text));
        }
        painter.drawText(x, top + metrics.ascent(), LineText(k));
    }
}

void TTraceView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    UpdateScrollBars();
    if (atEnd)
        ScrollToEnd();
}

int TTraceView::LineAt(int y) const {
    const int line = FirstVisibleLine() + std::max(0, y - kMargin) / FLineHeight;
    return FLines == 0 ? -1 : std::min(line, FLines - 1);
}

void TTraceView::mousePressEvent(QMouseEvent* event) {
    const int line = LineAt(event->position().toPoint().y());
    if (line < 0)
        return;
    if (!(event->modifiers() & Qt::ShiftModifier) || FAnchor < 0)
        FAnchor = line;
    FCurrent = line;
    viewport()->update();
}

void TTraceView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || FAnchor < 0)
        return;
    const int line = LineAt(event->position().toPoint().y());
    if (line >= 0 && line != FCurrent) {
        FCurrent = line;
        viewport()->update();
    }
}

void TTraceView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Home:
        bar->setValue(0);
        return;
    case Qt::Key_End:
        ScrollToEnd();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TTraceView::CopySelection() {
    if (FAnchor < 0)
        return;
    const int count = SelectionEnd() - SelectionStart() + 1;
    if (count > CopyQuestionLines &&
        !TMessageBoxes::ask(
            QStringLiteral("Copy %1 lines to the clipboard? This may take a while.").arg(count),
            this))
        return;
    QStringList lines;
    for (int k = std::min(FAnchor, FCurrent); k <= std::max(FAnchor, FCurrent); ++k)
        lines.append(LineText(k));
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}
