// The reader's tools in the window: the trace view's filter, pause, find and
// memory limit, autoscroll that lets go when the user scrolls up, the
// changed-byte highlight and period spread of the table, values that fit their
// columns, and the window's place and splitter kept in the settings file.

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTest>

#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"

#include "adapters/adapter_custom.h"
#include "channel_frame.h"
#include "channel_status_bar.h"
#include "frame_table_view.h"
#include "main_window.h"
#include "message_box.h"
#include "model/can_frame.h"
#include "platform/tick_count.h"
#include "send_grid.h"
#include "trace_view.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

namespace {

// Entries alternate IN and OUT; identifiers count up from 0x100.
void Fill(TCorvexTraceList& list, int count, int from = 0) {
    TCanFrame frame;
    frame.IsStandard = true;
    frame.Len = 2;
    for (int n = from; n < from + count; ++n) {
        frame.Id = static_cast<std::uint32_t>(0x100 + n);
        frame.Data[0] = static_cast<std::uint8_t>(n);
        frame.Data[1] = static_cast<std::uint8_t>(n >> 8);
        list.Add(frame, n % 2 == 1);
    }
}

QString IdOf(const QString& line) {
    return line.section(QStringLiteral("id: "), 1).section(QLatin1Char(' '), 0, 0);
}

} // namespace

class TraceToolsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<tessel::test::DeviceDir> FDeviceDir;

private slots:
    void initTestCase() {
        FDeviceDir = std::make_unique<tessel::test::DeviceDir>();
        guitest::RemoveStoredFiles();
    }

    void filterShowsOnlyMatchingEntriesAndFollowsNewOnes() {
        TCorvexTraceList list;
        Fill(list, 100);
        TTraceView view;
        view.resize(400, 200);
        view.SetTraceList(&list);
        TTraceFilter filter;
        QVERIFY(ParseIdRange("110-11F", filter));
        filter.Direction = TTraceFilter::TDirection::Outgoing;
        view.SetFilter(filter);
        QCOMPARE(view.LineCount(), 8); // odd n from 0x11 to 0x1F
        QCOMPARE(IdOf(view.LineText(0)), QStringLiteral("111"));
        QVERIFY(view.LineText(7).startsWith(QStringLiteral("OUT")));
        Fill(list, 0x20, 100); // 0x164..0x183: none in range
        QVERIFY(!view.CatchUp());
        view.SetFilter({});
        QCOMPARE(view.LineCount(), 132);
    }

    void pauseFreezesTheLinesAndCountsArrivals() {
        TCorvexTraceList list;
        Fill(list, 10);
        TTraceView view;
        view.SetTraceList(&list);
        view.CatchUp();
        view.SetPaused(true);
        Fill(list, 25, 10);
        QVERIFY(!view.CatchUp());
        QCOMPARE(view.LineCount(), 10);
        QCOMPARE(view.ArrivedSincePause(), 25);
        QCOMPARE(list.Count(), 35); // capture goes on
        view.SetPaused(false);
        QCOMPARE(view.ArrivedSincePause(), 0);
        QVERIFY(view.CatchUp());
        QCOMPARE(view.LineCount(), 35);
    }

    void findWalksForwardAndBackByIdOrData() {
        TCorvexTraceList list;
        Fill(list, 5000);
        TTraceView view;
        view.resize(400, 200);
        view.show();
        view.SetTraceList(&list);
        view.CatchUp();
        TTraceQuery query;
        QVERIFY(ParseQuery("1234", false, query)); // entry 0x1134 = 4404
        QVERIFY(view.Find(query, true));
        QCOMPARE(view.SelectionStart(), 4404);
        QVERIFY(view.FirstVisibleLine() <= 4404 &&
                4404 < view.FirstVisibleLine() + view.VisibleLineCount());
        QVERIFY(!view.Find(query, true));

        // Data byte 0x07 followed by 0x00 or 0x01... : entries 7, 263, 519, ...
        QVERIFY(ParseQuery("07 01", true, query));
        QVERIFY(view.Find(query, false));
        QCOMPARE(view.SelectionStart(), 0x107);
        QVERIFY(!view.Find(query, false));
        QCOMPARE(view.SelectionStart(), 0x107);
    }

    void memoryLimitDropsTheOldestLinesAndKeepsTheSelectionOnItsEntry() {
        TCorvexTraceList list;
        list.SetLimit(TCorvexTraceList::ChunkSize);
        Fill(list, 100);
        TTraceView view;
        view.resize(400, 200);
        view.show();
        view.SetTraceList(&list);
        view.CatchUp();
        TTraceQuery query;
        QVERIFY(ParseQuery("150", false, query));
        QVERIFY(view.Find(query, true));
        const QString selected = view.LineText(view.SelectionStart());
        Fill(list, static_cast<int>(TCorvexTraceList::ChunkSize) - 60, 100);
        list.Trim();
        view.CatchUp();
        QCOMPARE(view.LineCount(), static_cast<int>(TCorvexTraceList::ChunkSize));
        QCOMPARE(view.LineText(0), QString::fromStdString(list.Items(list.First())->GetText()));
        QCOMPARE(view.LineText(view.SelectionStart()), selected);
    }

    void windowTraceToolsAndAutoscroll() {
        auto window = std::make_unique<TfmMain>();
        window->show();
        TCorvexTraceList* trace = window->Adapter()->GetTraceList(0);
        Fill(*trace, 2000);
        window->pcData->setCurrentIndex(1);
        window->DrainTrace();
        TTraceView* view = window->mTrace;
        QVERIFY(view->IsAtEnd());

        // Scrolled up, the view stays where the user put it.
        view->verticalScrollBar()->setValue(10);
        Fill(*trace, 100, 2000);
        window->DrainTrace();
        QCOMPARE(view->FirstVisibleLine(), 10);
        QCOMPARE(view->LineCount(), 2100);
        view->ScrollToEnd();
        Fill(*trace, 100, 2100);
        window->DrainTrace();
        QVERIFY(view->IsAtEnd());

        window->btTracePause->click();
        Fill(*trace, 7, 2200);
        window->DrainTrace();
        QCOMPARE(window->lbTracePaused->text(), QStringLiteral("+7 new"));
        QCOMPARE(view->LineCount(), 2200);
        window->btTracePause->click();
        window->DrainTrace();
        QCOMPARE(view->LineCount(), 2207);
        QCOMPARE(window->lbTracePaused->text(), QString());

        window->edTraceFilterId->setText(QStringLiteral("200-20F"));
        window->cbTraceDirection->setCurrentIndex(1); // IN
        QCOMPARE(view->LineCount(), 8);
        window->edTraceFilterId->setText(QStringLiteral("20F-200")); // not a range: kept
        QCOMPARE(view->LineCount(), 8);
        window->edTraceFilterId->clear();
        window->cbTraceDirection->setCurrentIndex(0);
        QCOMPARE(view->LineCount(), 2207);

        window->cbFindKind->setCurrentIndex(0);
        window->edFind->setText(QStringLiteral("8AB"));
        window->btFindPrevious->click();
        QCOMPARE(IdOf(view->LineText(view->SelectionStart())), QStringLiteral("8AB"));

        window->FStatusBar->SetTraceSize(static_cast<std::size_t>(trace->Count()),
                                         trace->MemoryBytes());
        QCOMPARE(window->FStatusBar->TraceText(), QStringLiteral("Trace: 2207 frames, 0.3 MB"));
        TMessageBoxCapture yes(true);
        window->close();
    }

    void changedBytesAreHighlightedAndThePeriodHasATooltip() {
        TCorvexTable table;
        TListViewFrameTable view;
        view.SetTable(&table);
        const std::uint32_t now = platform::TickCount();
        TCanFrame frame;
        frame.IsStandard = true;
        frame.Id = 0x123;
        frame.Len = 3;
        frame.Data = {1, 2, 3};
        // The tick marks the changed bytes; the adapter's time, to 0.1 ms,
        // gives the period's spread.
        const auto at = [&](std::uint32_t ago, std::int64_t timeUs) {
            frame.TimeStamp = now - ago;
            frame.TimeUs = timeUs;
            table.Update(frame);
        };
        at(5000, 1'000'000);
        at(4990, 1'010'100);
        frame.Data[2] = 9;
        at(10, 5'990'000);
        view.ApplyPendingChanges();
        const QModelIndex data = view.Model()->index(0, TFrameTableModel::DataColumn);
        QCOMPARE(data.data(TFrameTableModel::ChangedBytesRole).toUInt(), 0b100u);
        const QModelIndex period = view.Model()->index(0, TFrameTableModel::PeriodColumn);
        QCOMPARE(period.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("period 631.3 ms  min 10.1 ms  max 4979.9 ms  jitter 543.57 ms"));
        view.SetTable(nullptr);
    }

    // Every value fits its column at its longest in the window's fonts.
    void longestValuesFitTheirColumns() {
        auto window = std::make_unique<TfmMain>();
        window->show();
        QTableView* grid = window->sgSend->grid();
        const QFontMetrics gridFont(grid->font());
        QVERIFY(gridFont.horizontalAdvance(QStringLiteral("OnRequest")) < grid->columnWidth(2));
        QVERIFY(gridFont.horizontalAdvance(QStringLiteral("88 88 88 88 88 88 88 88 ")) <
                grid->columnWidth(6));
        QVERIFY(gridFont.horizontalAdvance(QStringLiteral("2147483647")) < grid->columnWidth(7));
        QVERIFY(gridFont.horizontalAdvance(QStringLiteral("1FFFFFFF")) < grid->columnWidth(4));
        // At the window's designed size no column reaches past the grid's edge.
        QCOMPARE(window->size(), QSize(850, 542));
        int total = 0;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            total += grid->columnWidth(c);
        QVERIFY2(total <= grid->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(total).arg(grid->viewport()->width())));
        const QFontMetrics tableFont(window->FTableView->font());
        QHeaderView* header = window->FTableView->header();
        QVERIFY(tableFont.horizontalAdvance(QStringLiteral("2147483647")) < header->sectionSize(3));
        QVERIFY(tableFont.horizontalAdvance(QStringLiteral("FF FF FF FF FF FF FF FF")) <
                header->sectionSize(2));
        QComboBox* rates = window->ChannelFrame(0)->cbCanRate;
        QCOMPARE(rates->count(), 15);
        for (int i = 0; i < rates->count(); ++i)
            QVERIFY2(rates->fontMetrics().horizontalAdvance(rates->itemText(i)) <
                         rates->width() - 16,
                     qPrintable(rates->itemText(i)));
        TMessageBoxCapture yes(true);
        window->close();
    }

    void placeAndSplitterAreKeptInTheirOwnSection() {
        guitest::RemoveStoredFiles();
        {
            auto window = std::make_unique<TfmMain>();
            window->show();
            window->setGeometry(40, 50, 900, 600);
            window->Splitter1->setSizes({300, 240});
            TMessageBoxCapture yes(true);
            window->close();
        }
        const QByteArray ini = guitest::ReadFile(guitest::IniFile());
        QVERIFY(ini.contains("[Window]"));
        QVERIFY(ini.contains("Width=900"));
        QVERIFY(ini.contains("[Trace]"));
        QVERIFY(ini.indexOf("[Zlg]") < ini.indexOf("[Window]"));
        guitest::WriteFile(guitest::IniFile(), QByteArray(ini).replace("MemoryLimitFrames=0",
                                                                       "MemoryLimitFrames=9000"));
        auto window = std::make_unique<TfmMain>();
        window->show();
        QCOMPARE(window->normalGeometry().size(), QSize(900, 600));
        const QByteArray saved =
            ini.mid(ini.indexOf("SplitterTransmit=") + 17).split('\n').value(0);
        QCOMPARE(window->Splitter1->sizes().value(1), saved.trimmed().toInt());
        QCOMPARE(window->Adapter()->GetTraceList(1)->Limit(), 9000u);
        TMessageBoxCapture yes(true);
        window->close();
    }

    void cleanupTestCase() { guitest::RemoveStoredFiles(); }
};

QTEST_MAIN(TraceToolsTest)
#include "trace_tools_test.moc"
