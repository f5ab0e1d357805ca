// The frame table presenter: changes raised on a feeding thread reach the view
// in order, and the view ends equal to the table; binding and unbinding.

#include <QTest>

#include <atomic>
#include <random>
#include <thread>

#include "frame_table_view.h"
#include "model/can_frame.h"
#include "views/frame_table.h"

namespace {

TCanFrame MakeFrame(std::uint32_t id, bool standard, bool remote, std::uint8_t first,
                    std::uint32_t stamp) {
    TCanFrame frame;
    frame.Id = id;
    frame.IsStandard = standard;
    frame.IsRemote = remote;
    frame.Len = 2;
    frame.Data = {first, static_cast<std::uint8_t>(first ^ 0xFF)};
    frame.TimeStamp = stamp;
    return frame;
}

QString Cell(const TListViewFrameTable& view, int row, int column) {
    return view.Model()->index(row, column).data().toString();
}

} // namespace

class FrameTableViewTest : public QObject {
    Q_OBJECT

    static void VerifyEqual(TListViewFrameTable& view, TCorvexTable& table) {
        view.ApplyPendingChanges();
        const auto& rows = view.Model()->Rows();
        QCOMPARE(static_cast<int>(rows.size()), table.Count());
        for (int i = 0; i < table.Count(); ++i) {
            TCorvexTableItem expected(0, true, false);
            QVERIFY(table.ReadItem(i, expected));
            QCOMPARE(rows[static_cast<size_t>(i)].RowKey, expected.GetRowKey());
            QCOMPARE(rows[static_cast<size_t>(i)].Row.Count, expected.Count);
            QCOMPARE(rows[static_cast<size_t>(i)].Row.GetColumnText(1), expected.GetColumnText(1));
        }
    }

private slots:
    void columnsAndTextsOnTheWindowThread() {
        TCorvexTable table;
        TListViewFrameTable view;
        view.SetTable(&table);
        QCOMPARE(view.Model()->columnCount(), 5);
        const QStringList captions{"ID", "DLC", "Data", "Count", "Period"};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(view.Model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                     captions[c]);
        table.Update(MakeFrame(0x200, true, false, 1, 100));
        table.Update(MakeFrame(0x7F, false, false, 2, 100));
        table.Update(MakeFrame(0x100, true, true, 3, 100));
        table.Update(MakeFrame(0x200, true, false, 4, 150));
        // On the window's thread the changes show at once.
        QCOMPARE(view.Model()->rowCount(), 3);
        QCOMPARE(Cell(view, 0, 0), QStringLiteral("0000007F")); // extended 7F sorts first
        QCOMPARE(Cell(view, 1, 0), QStringLiteral("100"));
        QCOMPARE(Cell(view, 1, 2), QStringLiteral("Request"));
        QCOMPARE(Cell(view, 2, 0), QStringLiteral("200"));
        QCOMPARE(Cell(view, 2, 1), QStringLiteral("2"));
        QCOMPARE(Cell(view, 2, 2), QStringLiteral("04 FB"));
        QCOMPARE(Cell(view, 2, 3), QStringLiteral("2"));
        QCOMPARE(Cell(view, 2, 4), QStringLiteral("50"));
        table.Clear();
        QCOMPARE(view.Model()->rowCount(), 0);
    }

    void unboundTableRaisesNothingIntoTheView() {
        TCorvexTable first;
        TCorvexTable second;
        TListViewFrameTable view;
        view.SetTable(&first);
        first.Update(MakeFrame(1, true, false, 0, 0));
        view.SetTable(&second);
        first.Update(MakeFrame(2, true, false, 0, 0));
        QCOMPARE(view.Model()->rowCount(), 1); // kept until the new table refreshes
        second.Update(MakeFrame(5, true, false, 0, 0));
        second.Refresh();
        QCOMPARE(view.Model()->rowCount(), 1);
        QCOMPARE(Cell(view, 0, 0), QStringLiteral("005"));
        view.SetTable(nullptr);
        second.Update(MakeFrame(6, true, false, 0, 0));
        QCOMPARE(view.Model()->rowCount(), 1);
        QVERIFY(!second.GetOnItemChanged());
    }

    // A feeding thread inserts and updates rows, with refreshes and clears
    // requested from the window's thread, while the window applies the changes
    // as they come: at the end the view equals the table row for row.
    void feedingThreadAndWindowEndEqual() {
        constexpr std::uint32_t kFrames = 200000;
        // Requests stop here, so the last stretch of frames only inserts and
        // updates rows and the final comparison sees all of them.
        constexpr std::uint32_t kLastRequest = 150000;
        TCorvexTable table;
        TListViewFrameTable view;
        view.SetTable(&table);
        std::atomic<std::uint32_t> progress{0};
        std::thread feeder([&] {
            std::mt19937 random(7);
            for (std::uint32_t n = 0; n < kFrames; ++n) {
                // Enough identifiers that the rows fill many chunks.
                const std::uint32_t id = random() % 3000;
                table.Update(
                    MakeFrame(id, (id & 1) != 0, id % 7 == 0, static_cast<std::uint8_t>(n), n));
                if (n % 1000 == 0)
                    table.ProcessRequests();
                progress.store(n + 1);
            }
        });
        int round = 0;
        while (progress.load() < kFrames) {
            QCoreApplication::processEvents();
            if (progress.load() < kLastRequest && ++round % 500 == 0)
                table.RequestRefresh();
            if (progress.load() < kLastRequest && round % 2000 == 0)
                table.RequestClear();
        }
        feeder.join();
        QCoreApplication::processEvents();
        VerifyEqual(view, table);
        QVERIFY(view.Model()->rowCount() > 1000);
    }
};

QTEST_MAIN(FrameTableViewTest)
#include "frame_table_view_test.moc"
