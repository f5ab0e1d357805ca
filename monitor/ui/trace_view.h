#pragma once

#include <QAbstractScrollArea>

#include "views/trace_item.h"

class TCorvexTraceList;

// Virtual view of a channel's trace: line k is the trace line of entry k of the
// bound trace list. Only the lines on screen are formatted, straight from the
// list, so the view costs the same with ten entries or ten million.
// GUI thread only; the list itself is safe against the channel threads' appends.
class TTraceView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TTraceView(QWidget* parent = nullptr);

    // Binds another trace list (or none); the view starts empty and catches up
    // at the next CatchUp.
    void SetTraceList(TCorvexTraceList* list);
    TCorvexTraceList* TraceList() const { return FList; }

    // Shows every entry the list holds now; false when nothing was added.
    bool CatchUp();
    // Forgets every shown line (the list is cleared by its owner).
    void Clear();
    void ScrollToEnd();
    // How lines show their time; the standard tick line by default.
    void SetTimeFormat(TTraceTimeFormat format);
    TTraceTimeFormat TimeFormat() const { return FTimeFormat; }

    int LineCount() const { return FLines; }
    // Text of shown line k, empty outside the shown lines.
    QString LineText(int k) const;
    int FirstVisibleLine() const;
    int VisibleLineCount() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateScrollBars();
    int LineAt(int y) const;
    void CopySelection() const;

    TCorvexTraceList* FList = nullptr;
    TTraceTimeFormat FTimeFormat = TTraceTimeFormat::Tick;
    int FLines = 0;
    int FLineHeight = 1;
    int FCharWidth = 1;
    // Selected lines, from the anchor to the current line; -1 when none.
    int FAnchor = -1;
    int FCurrent = -1;
};
