// The trace page's tools: pause, filter and find, and the window's keyboard
// shortcuts.
#include "main_window.h"

#include "channel_frame.h"
#include "trace_view.h"

#include "views/trace_filter.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr int kTablePage = 0;
constexpr int kTracePage = 1;
} // namespace

// One row above the trace: the filter, then Find. A row rather than more of
// the side panel, so that the window keeps its height.
void TfmMain::BuildTraceTools(QWidget* group, QVBoxLayout* lines) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    edTraceFilterId = new QLineEdit(group);
    edTraceFilterId->setPlaceholderText(QStringLiteral("ID or 100-1FF"));
    cbTraceDirection = new QComboBox(group);
    cbTraceDirection->addItems(
        {QStringLiteral("IN and OUT"), QStringLiteral("IN"), QStringLiteral("OUT")});
    connect(edTraceFilterId, &QLineEdit::textChanged, this, &TfmMain::ApplyTraceFilter);
    connect(cbTraceDirection, &QComboBox::currentIndexChanged, this, &TfmMain::ApplyTraceFilter);

    cbFindKind = new QComboBox(group);
    cbFindKind->addItems({QStringLiteral("ID"), QStringLiteral("Data")});
    edFind = new QLineEdit(group);
    btFindPrevious = new QPushButton(QStringLiteral("Prev"), group);
    btFindNext = new QPushButton(QStringLiteral("Next"), group);
    connect(btFindNext, &QPushButton::clicked, this, [this] { FindInTrace(true); });
    connect(btFindPrevious, &QPushButton::clicked, this, [this] { FindInTrace(false); });
    connect(edFind, &QLineEdit::returnPressed, this, [this] { FindInTrace(true); });

    // Buttons as narrow as their captions, the filter box as wide as its hint.
    for (QPushButton* button : {btFindPrevious, btFindNext})
        button->setMaximumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 16);
    edTraceFilterId->setMinimumWidth(
        edTraceFilterId->fontMetrics().horizontalAdvance(edTraceFilterId->placeholderText()) + 12);
    row->addWidget(new QLabel(QStringLiteral("Filter"), group));
    row->addWidget(edTraceFilterId, 1);
    row->addWidget(cbTraceDirection);
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("Find"), group));
    row->addWidget(cbFindKind);
    row->addWidget(edFind, 3);
    row->addWidget(btFindPrevious);
    row->addWidget(btFindNext);
    lines->addLayout(row);
}

void TfmMain::BuildShortcuts() {
    const auto shortcut = [this](const QString& name, const QKeySequence& keys, auto handler) {
        auto* action = new QAction(name, this);
        action->setObjectName(name);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    shortcut(QStringLiteral("acOpenClose"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
        if (FAdapter != nullptr)
            ChannelFrame(FChannelIndex)->btPort->click();
    });
    shortcut(QStringLiteral("acPause"), QKeySequence(Qt::CTRL | Qt::Key_P),
             [this] { btTracePause->toggle(); });
    shortcut(QStringLiteral("acClear"), QKeySequence(Qt::CTRL | Qt::Key_L), [this] {
        if (pcData->currentIndex() == kTablePage)
            ClearTable();
        else if (pcData->currentIndex() == kTracePage)
            ClearTrace();
    });
    shortcut(QStringLiteral("acFind"), QKeySequence::Find, [this] {
        pcData->setCurrentIndex(kTracePage);
        edFind->setFocus();
        edFind->selectAll();
    });
    shortcut(QStringLiteral("acFindNext"), QKeySequence::FindNext, [this] { FindInTrace(true); });
    shortcut(QStringLiteral("acFindPrevious"), QKeySequence::FindPrevious,
             [this] { FindInTrace(false); });
}

void TfmMain::PauseTrace(bool paused) {
    mTrace->SetPaused(paused);
    ShowTracePause();
}

void TfmMain::ShowTracePause() {
    lbTracePaused->setText(mTrace->IsPaused()
                               ? QStringLiteral("+%1 new").arg(mTrace->ArrivedSincePause())
                               : QString());
}

// A text that is no identifier or range yet leaves the filter as it was and
// marks the box, so typing "1" on the way to "100-1FF" does not flicker.
void TfmMain::ApplyTraceFilter() {
    TTraceFilter filter;
    const bool valid = ParseIdRange(edTraceFilterId->text().toStdString(), filter);
    edTraceFilterId->setStyleSheet(valid ? QString() : QStringLiteral("color: red"));
    if (!valid)
        return;
    filter.Direction = static_cast<TTraceFilter::TDirection>(cbTraceDirection->currentIndex());
    mTrace->SetFilter(filter);
}

void TfmMain::FindInTrace(bool forward) {
    TTraceQuery query;
    if (!ParseQuery(edFind->text().toStdString(), cbFindKind->currentIndex() == 1, query)) {
        edFind->setStyleSheet(QStringLiteral("color: red"));
        return;
    }
    pcData->setCurrentIndex(kTracePage);
    // Red text: nothing (more) to find in that direction.
    const bool found = mTrace->Find(query, forward);
    edFind->setStyleSheet(found ? QString() : QStringLiteral("color: red"));
}
