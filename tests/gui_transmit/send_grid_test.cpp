#include "message_box.h"
#include "send_frame_dialog.h"
#include "send_grid.h"
#include "transmit/send_list.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#include "wait_until.h"

namespace {

class TFakeHost : public TSendGridHost {
public:
    bool IsCurrentChannelOpen() const override { return Open; }
    bool IsCurrentChannelStandard() const override { return Standard; }
    int AdapterChannelCount() const override { return Channels; }

    bool Open = true;
    bool Standard = true;
    int Channels = 2;
};

std::unique_ptr<TCanSendItem> MakeItem(TCanSendType type, std::uint32_t id,
                                       std::string caption = {}) {
    auto item = std::make_unique<TCanSendItem>();
    item->SendType = type;
    item->Frame.Id = id;
    item->Caption = std::move(caption);
    return item;
}

} // namespace

class SendGridTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TSendGrid> FGrid;
    std::unique_ptr<TCanSendList> FList;
    TFakeHost FHost;
    std::atomic<int> FSent{0};

    QString Cell(int row, int column) const {
        const QAbstractItemModel* model = FGrid->grid()->model();
        return model->index(row, column).data().toString();
    }
    int Rows() const { return FGrid->grid()->model()->rowCount(); }
    QRect CellRect(int row, int column) const {
        return FGrid->grid()->visualRect(FGrid->grid()->model()->index(row, column));
    }
    void Click(int row, int column) {
        QTest::mouseClick(FGrid->grid()->viewport(), Qt::LeftButton, {},
                          CellRect(row, column).center());
    }
    QColor PixelAt(QPoint point) const {
        return FGrid->grid()->viewport()->grab().toImage().pixelColor(point);
    }
    // The pixel 14, 14 inside the glyph: green on CHECK_ON, white on CHECK_OFF.
    QColor GlyphInside(int row) const {
        const QRect rect = CellRect(row, 1);
        const QPoint corner(rect.left() + (rect.width() - 18) / 2,
                            rect.top() + (rect.height() - 18) / 2);
        return PixelAt(corner + QPoint(14, 14));
    }
    void AddItems(int count) {
        for (int i = 0; i < count; ++i)
            FList->Add(MakeItem(TCanSendType::Single, 0x100 + static_cast<std::uint32_t>(i),
                                "item" + std::to_string(i)));
        FGrid->RefreshSendGrid();
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (int i = 0; i < FList->Count(); ++i)
            captions.push_back(FList->Items(i)->Caption);
        return captions;
    }

private slots:
    void init() {
        FHost = TFakeHost{};
        FSent = 0;
        FList = std::make_unique<TCanSendList>();
        FList->SetOnSend([this](const TCanFrame&) { ++FSent; });
        FGrid = std::make_unique<TSendGrid>();
        FGrid->resize(700, 220);
        FGrid->setHost(&FHost);
        FGrid->setSendList(FList.get(), 0);
        FGrid->show();
        QVERIFY(QTest::qWaitForWindowExposed(FGrid.get()));
    }

    void cleanup() {
        FGrid.reset();
        FList.reset();
    }

    void layoutHasTheColumnsButtonsAndPopup() {
        const QStringList headers{
            "Mnemonic caption", "Active", "Type", "Period", "ID", "DLC", "Data", "Count"};
        // The designed widths, wider where the font needs room for the longest
        // value; the caption may give up room down to its header's width.
        const QList<int> widths{120, 64, 60, 44, 64, 30, 132, 44};
        const QFontMetrics metrics(FGrid->grid()->font());
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(FGrid->grid()->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
            const int least = c == 0 ? metrics.horizontalAdvance(headers[c]) : widths[c];
            QVERIFY2(FGrid->grid()->columnWidth(c) >= least, qPrintable(headers[c]));
        }
        QCOMPARE(FGrid->grid()->rowHeight(0), 22);
        const QStringList captions{"Add", "Edit", "Remove", "Copy", "Move Up", "Move Down"};
        const QList<QPushButton*> buttons{FGrid->btAdd,  FGrid->btEdit, FGrid->btDelete,
                                          FGrid->btCopy, FGrid->btUp,   FGrid->Button2};
        for (int i = 0; i < buttons.size(); ++i)
            QCOMPARE(buttons[i]->text(), captions[i]);
        QCOMPARE(FGrid->popupMenu()->actions().size(), 1);
        QCOMPARE(FGrid->popupMenu()->actions().first()->text(), QString("Reset counters"));
    }

    void glyphsAreTheProgramsOwnResources() {
        const QImage off(":/CHECK_OFF");
        const QImage on(":/CHECK_ON");
        QCOMPARE(off.size(), QSize(18, 18));
        QCOMPARE(on.size(), QSize(18, 18));
        for (const QImage* glyph : {&off, &on}) {
            QCOMPARE(glyph->pixelColor(0, 0), QColor(Qt::black));
            QCOMPARE(glyph->pixelColor(1, 17), QColor(Qt::black));
            QCOMPARE(glyph->pixelColor(16, 8), QColor(Qt::black));
        }
        QCOMPARE(off.pixelColor(2, 2), QColor(Qt::white));
        QCOMPARE(on.pixelColor(2, 2), QColor(0, 255, 128));
        QCOMPARE(on.pixelColor(7, 11), QColor(Qt::black)); // the tick
    }

    void selectedRowIsAquaOthersWhite() {
        AddItems(3);
        FGrid->selectItem(1);
        const auto background = [this](int row) {
            const QRect rect = CellRect(row, 5); // DLC "0": the corner is background
            return PixelAt(rect.topLeft() + QPoint(2, rect.height() - 3));
        };
        QCOMPARE(background(0), QColor(Qt::white));
        QCOMPARE(background(1), QColor(0, 255, 255));
        QCOMPARE(background(2), QColor(Qt::white));
        // The header row is silver.
        QHeaderView* header = FGrid->grid()->horizontalHeader();
        QCOMPARE(header->grab().toImage().pixelColor(3, header->height() - 4),
                 QColor(192, 192, 192));
    }

    void emptyListShowsOneBlankRowAndIgnoresEveryOperationButAdd() {
        TMessageBoxCapture boxes(true);
        QCOMPARE(Rows(), 1);
        for (int c = 0; c < 8; ++c)
            QVERIFY(Cell(0, c).isEmpty());
        QCOMPARE(PixelAt(CellRect(0, 3).center()), QColor(Qt::white));
        bool editorOpened = false;
        FGrid->setEditorRunner([&](TfmSendFrame&) { return editorOpened = true; });
        Click(0, 1);
        Click(0, 0);
        QTest::mouseDClick(FGrid->grid()->viewport(), Qt::LeftButton, {}, CellRect(0, 0).center());
        FGrid->btEdit->click();
        FGrid->btDelete->click();
        FGrid->btCopy->click();
        FGrid->btUp->click();
        FGrid->Button2->click();
        QVERIFY(!editorOpened);
        QVERIFY(!FGrid->isSendTimerActive());
        QCOMPARE(FList->Count(), 0);
        QVERIFY(boxes.Messages.isEmpty());

        FGrid->setEditorRunner([](TfmSendFrame& editor) {
            editor.show();
            editor.edCaption->setText("added");
            editor.btSave->click();
            return editor.result() == QDialog::Accepted;
        });
        FGrid->btAdd->click();
        QCOMPARE(FList->Count(), 1);
        QCOMPARE(Cell(0, 0), QString("added"));
        QCOMPARE(FList->Items(0)->OnSend != nullptr, true);
    }

    void rowsShowEveryColumnOfTheItems() {
        auto periodic = MakeItem(TCanSendType::Periodic, 0x1AB, "Engine");
        periodic->Period = 1000;
        periodic->Enabled = true;
        periodic->Frame.Len = 3;
        periodic->Frame.Data = {0x11, 0xA2, 0x03, 0, 0, 0, 0, 0};
        FList->Add(std::move(periodic));
        auto request = MakeItem(TCanSendType::OnRequest, 0x7FF);
        request->Frame.IsRemote = true;
        request->Frame.Len = 8;
        request->Period = 500; // not shown for other kinds
        FList->Add(std::move(request));
        FList->Add(MakeItem(TCanSendType::Single, 0x1ABCD)); // wider than 3 digits
        FGrid->RefreshSendGrid();

        QCOMPARE(Rows(), 3);
        QCOMPARE(Cell(0, 0), QString("Engine"));
        QCOMPARE(Cell(0, 1), QString("1"));
        QCOMPARE(Cell(0, 2), QString("Periodic"));
        QCOMPARE(Cell(0, 3), QString("1000"));
        QCOMPARE(Cell(0, 4), QString("1AB"));
        QCOMPARE(Cell(0, 5), QString("3"));
        QCOMPARE(Cell(0, 6), QString("11 A2 03 "));
        QCOMPARE(Cell(0, 7), QString("0"));
        QCOMPARE(Cell(1, 1), QString("0"));
        QCOMPARE(Cell(1, 2), QString("OnRequest"));
        QVERIFY(Cell(1, 3).isEmpty());
        QCOMPARE(Cell(1, 4), QString("7FF"));
        QCOMPARE(Cell(1, 6), QString("Request"));
        QCOMPARE(Cell(2, 2), QString("Single"));
        QCOMPARE(Cell(2, 4), QString("1ABCD"));
        QVERIFY(Cell(2, 6).isEmpty()); // DLC 0

        QCOMPARE(FList->Items(0)->Tag, 0);
        QCOMPARE(FList->Items(2)->Tag, 2);
        FGrid->setSendList(FList.get(), 1);
        QCOMPARE(FList->Items(2)->Tag, (1 << 16) | 2);
    }

    void modeChangeReRendersIdentifiers() {
        FList->Add(MakeItem(TCanSendType::Single, 0x1AB));
        FGrid->RefreshSendGrid();
        QCOMPARE(Cell(0, 4), QString("1AB"));
        FHost.Standard = false;
        FGrid->RefreshSendGrid();
        QCOMPARE(Cell(0, 4), QString("000001AB"));
        FHost.Standard = true;
        FGrid->RefreshSendGrid();
        QCOMPARE(Cell(0, 4), QString("1AB"));
    }

    void checkCellTogglesSendingAndItsGlyph() {
        FList->Add(MakeItem(TCanSendType::Periodic, 1));
        FList->Add(MakeItem(TCanSendType::OnRequest, 2));
        FGrid->RefreshSendGrid();
        FGrid->selectItem(1); // row 0 white, so the glyph's inside is the only colour
        QCOMPARE(GlyphInside(0), QColor(Qt::white));

        Click(0, 1);
        QVERIFY(FList->Items(0)->Enabled.load());
        QCOMPARE(Cell(0, 1), QString("1"));
        QCOMPARE(GlyphInside(0), QColor(0, 255, 128));

        Click(0, 1);
        QVERIFY(!FList->Items(0)->Enabled.load());
        QCOMPARE(Cell(0, 1), QString("0"));
        QCOMPARE(GlyphInside(0), QColor(Qt::white));

        Click(1, 1);
        QVERIFY(FList->Items(1)->Enabled.load());
        QCOMPARE(FSent.load(), 0); // switching on sends nothing by itself

        // Every mouse button switches, the right one as well.
        QTest::mouseClick(FGrid->grid()->viewport(), Qt::RightButton, {}, CellRect(0, 1).center());
        FGrid->popupMenu()->hide();
        QVERIFY(FList->Items(0)->Enabled.load());
        QCOMPARE(Cell(0, 1), QString("1"));
    }

    void sendButtonOnOpenChannelSendsOnceAndFlashes() {
        TMessageBoxCapture boxes;
        AddItems(1);
        const QPoint inButton(CellRect(0, 1).left() + 10, CellRect(0, 1).center().y());
        QCOMPARE(PixelAt(inButton), QColor(192, 192, 192));
        Click(0, 1);
        QCOMPARE(FSent.load(), 1);
        QCOMPARE(FList->Items(0)->Count.load(), 1);
        QCOMPARE(FGrid->pressedRow(), 0);
        QVERIFY(FGrid->isSendTimerActive());
        QCOMPARE(PixelAt(inButton), QColor(255, 255, 0));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(0, 7), QString("1"), tessel::test::kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(FGrid->pressedRow(), -1, tessel::test::kPatienceMs);
        QCOMPARE(PixelAt(inButton), QColor(192, 192, 192));
        QTest::mouseClick(FGrid->grid()->viewport(), Qt::MiddleButton, {}, inButton);
        QCOMPARE(FSent.load(), 2);
        QVERIFY(boxes.Messages.isEmpty());
    }

    void sendButtonOnClosedChannelWarnsAfterTheFlash() {
        TMessageBoxCapture boxes;
        FHost.Open = false;
        AddItems(1);
        FGrid->setSendList(FList.get(), 1);
        Click(0, 1);
        QCOMPARE(FSent.load(), 0);
        QCOMPARE(FList->Items(0)->Count.load(), 0);
        QCOMPARE(FGrid->pressedRow(), 0);
        QVERIFY(boxes.Messages.isEmpty()); // not before the 100 ms flash
        QTRY_COMPARE_WITH_TIMEOUT(boxes.Messages.size(), 1, tessel::test::kPatienceMs);
        QCOMPARE(boxes.Messages[0].Text, QString("The channel #2 is not opened"));
        QCOMPARE(boxes.Messages[0].Kind, TMessageBoxes::TKind::Info);
        QCOMPARE(FGrid->pressedRow(), -1);

        FHost.Channels = 1;
        Click(0, 1);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.Messages.size(), 2, tessel::test::kPatienceMs);
        QCOMPARE(boxes.Messages[1].Text, QString("No connection with CanBus adapter"));
    }

    void moveButtonsRefuseTheEndsAndFollowTheItem() {
        AddItems(3);
        FGrid->selectItem(0);
        FGrid->btUp->click();
        QCOMPARE(Captions(), (std::vector<std::string>{"item0", "item1", "item2"}));
        QCOMPARE(FGrid->selectedIndex(), 0);

        FGrid->Button2->click();
        QCOMPARE(Captions(), (std::vector<std::string>{"item1", "item0", "item2"}));
        QCOMPARE(FGrid->selectedIndex(), 1);
        QCOMPARE(Cell(1, 0), QString("item0"));
        QCOMPARE(FList->Items(1)->Tag, 1);

        FGrid->selectItem(2);
        FGrid->Button2->click();
        QCOMPARE(Captions(), (std::vector<std::string>{"item1", "item0", "item2"}));
        QCOMPARE(FGrid->selectedIndex(), 2);

        FGrid->btUp->click();
        QCOMPARE(Captions(), (std::vector<std::string>{"item1", "item2", "item0"}));
        QCOMPARE(FGrid->selectedIndex(), 1);
    }

    void removeAsksAndKeepsTheSelectionInTheList() {
        AddItems(2);
        {
            TMessageBoxCapture no(false);
            FGrid->selectItem(1);
            FGrid->btDelete->click();
            QCOMPARE(no.texts(), QStringList{"Are you sure you want to remove this item?"});
            QCOMPARE(no.Messages[0].Kind, TMessageBoxes::TKind::Question);
            QCOMPARE(FList->Count(), 2);
        }
        TMessageBoxCapture yes(true);
        FGrid->btDelete->click(); // the last item
        QCOMPARE(Captions(), (std::vector<std::string>{"item0"}));
        QCOMPARE(Rows(), 1);
        QCOMPARE(FGrid->selectedIndex(), 0);
        FGrid->btDelete->click();
        QCOMPARE(FList->Count(), 0);
        QCOMPARE(Rows(), 1);
        QVERIFY(Cell(0, 0).isEmpty());
        QCOMPARE(FGrid->selectedIndex(), -1);
    }

    void copyAppendsWithCountZero() {
        auto item = MakeItem(TCanSendType::Periodic, 0x55, "orig");
        item->Period = 20;
        item->Enabled = true;
        item->Frame.Len = 2;
        item->Frame.Data[1] = 0x99;
        item->Count = 7;
        FList->Add(std::move(item));
        FList->Add(MakeItem(TCanSendType::Single, 1, "other"));
        FGrid->RefreshSendGrid();
        FGrid->selectItem(0);
        FGrid->btCopy->click();
        QCOMPARE(FList->Count(), 3);
        const TCanSendItem& copy = *FList->Items(2);
        QCOMPARE(copy.Caption, std::string("orig"));
        QCOMPARE(copy.Period, 20);
        QVERIFY(copy.Enabled.load());
        QCOMPARE(copy.Frame.Data[1], std::uint8_t{0x99});
        QCOMPARE(copy.Count.load(), 0);
        QVERIFY(copy.OnSend != nullptr);
        QCOMPARE(Cell(2, 7), QString("0"));
        QCOMPARE(Cell(0, 7), QString("7"));
    }

    void resetCountersClearsEveryCount() {
        AddItems(2);
        FList->Items(0)->Send();
        FList->Items(1)->Send();
        FList->Items(1)->Send();
        QTRY_COMPARE_WITH_TIMEOUT(Cell(1, 7), QString("2"), tessel::test::kPatienceMs);
        FGrid->popupMenu()->actions().first()->trigger();
        QCOMPARE(Cell(0, 7), QString("0"));
        QCOMPARE(Cell(1, 7), QString("0"));
        QCOMPARE(FList->Items(1)->Count.load(), 0);
    }

    void doubleClickEditsExceptOnTheActiveColumn() {
        AddItems(2);
        int opened = 0;
        FGrid->setEditorRunner([&](TfmSendFrame& editor) {
            ++opened;
            editor.show();
            [&] { QCOMPARE(editor.Mode, int(TfmSendFrame::ModeEdit)); }();
            editor.edCaption->setText("renamed");
            editor.btSave->click();
            return editor.result() == QDialog::Accepted;
        });
        FHost.Open = false;
        TMessageBoxCapture boxes;
        QTest::mouseDClick(FGrid->grid()->viewport(), Qt::LeftButton, {}, CellRect(1, 1).center());
        QCOMPARE(opened, 0);
        QTest::mouseDClick(FGrid->grid()->viewport(), Qt::LeftButton, {}, CellRect(1, 0).center());
        QCOMPARE(opened, 1);
        QCOMPARE(Captions(), (std::vector<std::string>{"item0", "renamed"}));
        QCOMPARE(Cell(1, 0), QString("renamed"));
    }

    void cancelledEditChangesNothing() {
        AddItems(1);
        FGrid->setEditorRunner([](TfmSendFrame& editor) {
            editor.show();
            editor.edCaption->setText("changed");
            editor.edId->setText("7");
            editor.btCancel->click();
            return editor.result() == QDialog::Accepted;
        });
        FGrid->btEdit->click();
        QCOMPARE(FList->Items(0)->Caption, std::string("item0"));
        QCOMPARE(FList->Items(0)->Frame.Id, 0x100u);
        QCOMPARE(Cell(0, 0), QString("item0"));
    }

    void addUsesTheChannelsFrameFormat() {
        FHost.Standard = false;
        FGrid->setEditorRunner([](TfmSendFrame& editor) {
            editor.show();
            editor.edId->setText("1FFFFFFF");
            editor.btSave->click();
            return editor.result() == QDialog::Accepted;
        });
        FGrid->btAdd->click();
        QCOMPARE(FList->Count(), 1);
        QVERIFY(!FList->Items(0)->Frame.IsStandard);
        QCOMPARE(Cell(0, 4), QString("1FFFFFFF"));
    }

    void countsOfTheChannelNotShownDoNotTouchTheGrid() {
        TCanSendList other;
        other.SetOnSend([](const TCanFrame&) {});
        other.Add(MakeItem(TCanSendType::Single, 9, "other"));
        AddItems(1);
        FGrid->setSendList(&other, 1);
        FGrid->setSendList(FList.get(), 0);
        // The other list's item still carries channel 1's tag.
        other.Items(0)->Send();
        other.Items(0)->Send();
        QTest::qWait(20);
        QCOMPARE(Cell(0, 7), QString("0"));
        FGrid->setSendList(&other, 1);
        QCOMPARE(Cell(0, 7), QString("2"));
        QCOMPARE(Cell(0, 0), QString("other"));
        FGrid->setSendList(nullptr, 0);
    }

    // Counts change on worker threads while the window moves and refreshes
    // the rows; the grid ends showing every item's final count.
    void countsFromWorkerThreadsReachTheGrid() {
        AddItems(4);
        constexpr int kSends = 3000;
        std::atomic<bool> done{false};
        std::thread periodic([&] {
            for (int i = 0; i < kSends; ++i)
                FList->SendPeriodic(0); // never enabled: takes the lock only
            for (int i = 0; i < kSends; ++i) {
                auto guard = FList->Lock();
                FList->Items(0)->Send();
                FList->Items(3)->Send();
            }
            done = true;
        });
        while (!done) {
            FGrid->selectItem(1);
            FGrid->Button2->click();
            FGrid->btUp->click();
            QCoreApplication::processEvents();
        }
        periodic.join();
        QTRY_COMPARE_WITH_TIMEOUT(Cell(0, 7), QString::number(kSends), tessel::test::kPatienceMs);
        QCOMPARE(Cell(3, 7), QString::number(kSends));
        QCOMPARE(Cell(1, 7), QString("0"));
    }
};

QTEST_MAIN(SendGridTest)
#include "send_grid_test.moc"
