#pragma once

#include <QAbstractScrollArea>

#include <algorithm>
#include <vector>

#include "views/trace_filter.h"
#include "views/trace_item.h"

class TCorvexTraceList;

// Virtual view of a channel's trace: each line shows one entry of the bound
// trace list, every entry or those the filter lets through. Only the lines on
// screen are formatted, straight from the list, so the view costs the same
// with ten entries or ten million. Paused, it keeps the lines it has while the
// list goes on growing. GUI thread only; the list itself is safe against the
// channel threads' appends.
class TTraceView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // A copy of more lines than this asks first.
    static constexpr int CopyQuestionLines = 100000;
    // Entries the filter looks at per catch-up, so that filtering a long
    // trace never stalls the window; the rest follow at the next ones.
    static constexpr int FilterScanPerCatchUp = 1000000;

    explicit TTraceView(QWidget* parent = nullptr);

    // Binds another trace list (or none); the view starts empty and catches up
    // at the next CatchUp.
    void SetTraceList(TCorvexTraceList* list);
    TCorvexTraceList* TraceList() const { return FList; }

    // Shows every entry the list holds now (unless paused); false when nothing changed.
    bool CatchUp();
    // Forgets every shown line (the list is cleared by its owner).
    void Clear();
    void ScrollToEnd();
    // How lines show their time; the standard tick line by default.
    void SetTimeFormat(TTraceTimeFormat format);
    TTraceTimeFormat TimeFormat() const { return FTimeFormat; }

    // True when the newest line is in view (or there are none).
    bool IsAtEnd() const;

    // Lines follow the filter from the next CatchUp on.
    void SetFilter(const TTraceFilter& filter);
    const TTraceFilter& Filter() const { return FFilter; }

    void SetPaused(bool paused);
    bool IsPaused() const { return FPaused; }
    // Entries the list gained since the pause began; 0 when not paused.
    int ArrivedSincePause() const;

    // Selects the next (or previous) line after the current one whose entry
    // matches, and scrolls it into view; false when there is none.
    bool Find(const TTraceQuery& query, bool forward);

    int LineCount() const { return FLines; }
    // Text of shown line k, empty outside the shown lines.
    QString LineText(int k) const;
    int FirstVisibleLine() const;
    int VisibleLineCount() const;
    // The selected lines, first and last; -1 when none.
    int SelectionStart() const { return std::min(FAnchor, FCurrent); }
    int SelectionEnd() const { return std::max(FAnchor, FCurrent); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateScrollBars();
    int LineAt(int y) const;
    int EntryOf(int line) const;
    // Lines that left the front of the list: selection and scroll position
    // move up with their lines.
    void DropFrontLines(int count);
    int CountLines();
    void CopySelection();

    TCorvexTraceList* FList = nullptr;
    TTraceTimeFormat FTimeFormat = TTraceTimeFormat::Tick;
    TTraceFilter FFilter;
    int FLines = 0;
    // Without a filter, line k shows entry FBase + k; with one, entry FMatches[k]
    // of those below FScanned.
    int FBase = 0;
    std::vector<int> FMatches;
    int FScanned = 0;
    int FDropped = 0; // lines dropped from the front so far, to notice a shift
    bool FPaused = false;
    int FPauseCount = 0;
    int FLineHeight = 1;
    int FCharWidth = 1;
    // Selected lines, from the anchor to the current line; -1 when none.
    int FAnchor = -1;
    int FCurrent = -1;
};
