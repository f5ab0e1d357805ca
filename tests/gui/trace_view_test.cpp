// The trace view: line k is entry k of the bound list, formatted only when
// shown; catching up, clearing and scrolling with a long trace.

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "model/can_frame.h"
#include "trace_view.h"
#include "views/trace_list.h"

namespace {

void Fill(TCorvexTraceList& list, int count) {
    TCanFrame frame;
    frame.IsStandard = true;
    frame.Len = 1;
    for (int n = 0; n < count; ++n) {
        frame.Id = static_cast<std::uint32_t>(n & 0x7FF);
        frame.TimeStamp = static_cast<std::uint32_t>(n);
        frame.Data[0] = static_cast<std::uint8_t>(n);
        list.Add(frame, n % 2 == 1);
    }
}

} // namespace

class TraceViewTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreTheEntriesOfTheList() {
        TCorvexTraceList list;
        Fill(list, 3);
        TTraceView view;
        view.resize(400, 200);
        view.SetTraceList(&list);
        QCOMPARE(view.LineCount(), 0); // shown only after catching up
        QVERIFY(view.CatchUp());
        QVERIFY(!view.CatchUp());
        QCOMPARE(view.LineCount(), 3);
        QCOMPARE(view.LineText(0), QStringLiteral("IN  ts: 0  id: 000  l: 1  data: 00 "));
        QCOMPARE(view.LineText(1), QStringLiteral("OUT ts: 1  id: 001  l: 1  data: 01 "));
        QCOMPARE(view.LineText(3), QString());
        QCOMPARE(view.LineText(-1), QString());
    }

    void aLongTraceScrollsToItsEnd() {
        TCorvexTraceList list;
        Fill(list, 1000000);
        TTraceView view;
        view.resize(500, 300);
        view.show();
        view.SetTraceList(&list);
        view.CatchUp();
        view.ScrollToEnd();
        QCOMPARE(view.LineCount(), 1000000);
        QCOMPARE(view.FirstVisibleLine() + view.VisibleLineCount(), 1000000);
        const int last = view.LineCount() - 1;
        QCOMPARE(view.LineText(last), QString::fromStdString(list.Items(last)->GetText()));
        view.grab(); // paints the lines on screen without touching the others

        Fill(list, 10);
        QVERIFY(view.CatchUp());
        QCOMPARE(view.LineCount(), 1000010);
    }

    void clearingOrRebindingEmptiesTheView() {
        TCorvexTraceList first;
        TCorvexTraceList second;
        Fill(first, 20);
        Fill(second, 5);
        TTraceView view;
        view.SetTraceList(&first);
        view.CatchUp();
        first.Clear();
        view.Clear();
        QCOMPARE(view.LineCount(), 0);
        Fill(first, 2);
        view.CatchUp();
        QCOMPARE(view.LineCount(), 2);
        view.SetTraceList(&second);
        QCOMPARE(view.LineCount(), 0);
        view.CatchUp();
        QCOMPARE(view.LineCount(), 5);
        QCOMPARE(view.LineText(4), QString::fromStdString(second.Items(4)->GetText()));
    }

    void selectedLinesAreCopied() {
        TCorvexTraceList list;
        Fill(list, 50);
        TTraceView view;
        view.resize(500, 300);
        view.show();
        view.SetTraceList(&list);
        view.CatchUp();
        const QFontMetrics metrics(view.font());
        auto lineY = [&](int k) { return 2 + k * metrics.lineSpacing() + 1; };
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, lineY(2)));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, lineY(4)));
        QTest::keySequence(&view, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(),
                 view.LineText(2) + "\n" + view.LineText(3) + "\n" + view.LineText(4) + "\n");
    }
};

QTEST_MAIN(TraceViewTest)
#include "trace_view_test.moc"
