#include "trace_view.h"

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
    const int count = FList != nullptr ? FList->Count() : 0;
    if (count == FLines)
        return false;
    FLines = count;
    if (FCurrent >= FLines)
        FAnchor = FCurrent = -1;
    UpdateScrollBars();
    viewport()->update();
    return true;
}

void TTraceView::Clear() {
    FLines = 0;
    FAnchor = FCurrent = -1;
    UpdateScrollBars();
    viewport()->update();
}

void TTraceView::ScrollToEnd() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString TTraceView::LineText(int k) const {
    if (FList == nullptr || k < 0 || k >= FLines)
        return {};
    const TCorvexTraceItem* item = FList->Items(k);
    if (item == nullptr)
        return {};
    std::int64_t reference = FList->StartUs();
    if (FTimeFormat == TTraceTimeFormat::Delta) {
        const TCorvexTraceItem* previous = FList->Items(k - 1);
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

void TTraceView::CopySelection() const {
    if (FAnchor < 0)
        return;
    QStringList lines;
    for (int k = std::min(FAnchor, FCurrent); k <= std::max(FAnchor, FCurrent); ++k)
        lines.append(LineText(k));
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}
