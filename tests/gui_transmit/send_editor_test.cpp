#include "message_box.h"
#include "send_frame_dialog.h"
#include "transmit/send_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

class SendEditorTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfmSendFrame> FEditor;
    std::unique_ptr<TMessageBoxCapture> FBoxes;

    // Shows an add dialog for the given frame format.
    TfmSendFrame& OpenAdd(bool standard) {
        FEditor = std::make_unique<TfmSendFrame>();
        FEditor->Mode = TfmSendFrame::ModeAdd;
        FEditor->IsStandard = standard;
        FEditor->show();
        return *FEditor;
    }
    TfmSendFrame& OpenEdit(TCanSendItem& item, bool standard, TCanSendList* list = nullptr) {
        FEditor = std::make_unique<TfmSendFrame>();
        FEditor->Mode = TfmSendFrame::ModeEdit;
        FEditor->IsStandard = standard;
        FEditor->Item = &item;
        FEditor->List = list;
        FEditor->show();
        return *FEditor;
    }
    // Presses the save button; the message it showed, or "" when it closed with OK.
    QString Save() {
        FBoxes->Messages.clear();
        FEditor->btSave->click();
        if (FEditor->result() == QDialog::Accepted) {
            [&] { QVERIFY(FBoxes->Messages.isEmpty()); }();
            return {};
        }
        [&] { QCOMPARE(FBoxes->Messages.size(), 1); }();
        [&] { QVERIFY(FEditor->isVisible()); }();
        return FBoxes->Messages.isEmpty() ? QStringLiteral("<none>") : FBoxes->Messages[0].Text;
    }
    static void Type(QWidget* widget, const QString& keys) { QTest::keyClicks(widget, keys); }

private slots:
    void init() {
        TfmSendFrame::SetLastDlc(8);
        FBoxes = std::make_unique<TMessageBoxCapture>();
    }
    void cleanup() {
        FEditor.reset();
        FBoxes.reset();
    }

    void addModeStartsFromTheDefaults() {
        TfmSendFrame& editor = OpenAdd(true);
        QCOMPARE(editor.windowTitle(), QString("Add new transmit item"));
        QCOMPARE(editor.btSave->text(), QString("Add"));
        QCOMPARE(editor.btCancel->text(), QString("Cancel"));
        QCOMPARE(editor.cbSendType->currentIndex(), 0);
        QCOMPARE(editor.cbSendType->count(), 3);
        QCOMPARE(editor.cbSendType->itemText(2), QString("On request"));
        QVERIFY(!editor.cbSendType->isEditable());
        QCOMPARE(editor.edPeriod->text(), QString("1000"));
        QCOMPARE(editor.edId->text(), QString("000"));
        QVERIFY(!editor.cbRequest->isChecked());
        QCOMPARE(editor.cbLength->currentIndex(), 8);
        QCOMPARE(editor.cbLength->count(), 9);
        for (QLineEdit* box : editor.DataEdits) {
            QCOMPARE(box->text(), QString("00"));
            QCOMPARE(box->maxLength(), 2);
        }
        QVERIFY(editor.edCaption->text().isEmpty());
        QCOMPARE(OpenAdd(false).edId->text(), QString("00000000"));
    }

    void editModeShowsTheItem() {
        TCanSendItem item;
        item.SendType = TCanSendType::Periodic;
        item.Period = 250;
        item.Frame.Id = 0x12;
        item.Frame.IsRemote = true;
        item.Frame.Len = 2;
        item.Frame.Data = {0xAB, 0x01, 0xFF, 0, 0, 0, 0, 0x7E};
        item.Caption = "Brake";
        TfmSendFrame& editor = OpenEdit(item, false);
        QCOMPARE(editor.windowTitle(), QString("Edit transmit item"));
        QCOMPARE(editor.btSave->text(), QString("Save"));
        QCOMPARE(editor.cbSendType->currentIndex(), 1);
        QCOMPARE(editor.edPeriod->text(), QString("250"));
        QCOMPARE(editor.edId->text(), QString("00000012"));
        QVERIFY(editor.cbRequest->isChecked());
        QCOMPARE(editor.cbLength->currentIndex(), 2);
        // Every box shows its byte, whatever the length.
        QCOMPARE(editor.DataEdits[2]->text(), QString("FF"));
        QCOMPARE(editor.DataEdits[7]->text(), QString("7E"));
        QCOMPARE(editor.edCaption->text(), QString("Brake"));
    }

    void periodAndDataBoxesFollowKindAndLength() {
        TfmSendFrame& editor = OpenAdd(true);
        QVERIFY(editor.pPeriod->isHidden());
        editor.cbSendType->setCurrentIndex(1);
        QVERIFY(!editor.pPeriod->isHidden());
        editor.cbSendType->setCurrentIndex(2);
        QVERIFY(editor.pPeriod->isHidden());
        for (int dlc : {0, 3, 8}) {
            editor.cbLength->setCurrentIndex(dlc);
            for (int i = 0; i < 8; ++i)
                QCOMPARE(!editor.DataEdits[static_cast<std::size_t>(i)]->isHidden(), i < dlc);
        }
    }

    void keyFiltersLetOnlyTheirCharactersThrough() {
        TfmSendFrame& editor = OpenAdd(false);
        editor.edId->clear();
        Type(editor.edId, "a1G -bf");
        QCOMPARE(editor.edId->text(), QString("A1BF"));
        QTest::keyClick(editor.edId, Qt::Key_Backspace);
        QCOMPARE(editor.edId->text(), QString("A1B"));
        Type(editor.edId, "123456789");
        QCOMPARE(editor.edId->text(), QString("A1B12345")); // 8 characters when extended

        editor.DataEdits[0]->clear();
        Type(editor.DataEdits[0], "x-e f9");
        QCOMPARE(editor.DataEdits[0]->text(), QString("EF"));

        editor.cbSendType->setCurrentIndex(1);
        editor.edPeriod->clear();
        Type(editor.edPeriod, "1a2 -3.4");
        QCOMPARE(editor.edPeriod->text(), QString("1234"));

        const int length = editor.cbLength->currentIndex();
        Type(editor.cbLength, "3");
        QCOMPARE(editor.cbLength->currentIndex(), length);

        TfmSendFrame& standard = OpenAdd(true);
        standard.edId->clear();
        Type(standard.edId, "7ff1");
        QCOMPARE(standard.edId->text(), QString("7FF"));
    }

    void checksRunInOrderWithTheirMessages() {
        TfmSendFrame& editor = OpenAdd(true);
        editor.cbSendType->setCurrentIndex(1);
        editor.edPeriod->setText("0");
        editor.edId->clear();
        editor.DataEdits[5]->clear();
        QCOMPARE(Save(), QString("Incorrect period"));
        editor.edPeriod->setText("2147483648"); // beyond a signed 32-bit number
        QCOMPARE(Save(), QString("Incorrect period"));
        editor.edPeriod->clear();
        QCOMPARE(Save(), QString("Incorrect period"));
        editor.edPeriod->setText("2147483647");
        QCOMPARE(Save(), QString("Incorrect frame ID"));
        editor.edId->setText("800");
        QCOMPARE(Save(), QString("Incorrect frame ID"));
        editor.edId->setText("7FF");
        QCOMPARE(Save(), QString("Incorrect data"));
        // The entries stay as the user left them.
        QCOMPARE(editor.edId->text(), QString("7FF"));
        QCOMPARE(editor.edPeriod->text(), QString("2147483647"));
        editor.DataEdits[5]->setText("5");
        QCOMPARE(Save(), QString());
        std::unique_ptr<TCanSendItem> item = editor.TakeNewItem();
        QVERIFY(item);
        QCOMPARE(item->Period, 2147483647);
        QCOMPARE(item->Frame.Id, 0x7FFu);
        QCOMPARE(item->Frame.Data[5], std::uint8_t{5});
    }

    // Without a hook the user sees a plain box: no icon, title "Tessel", OK only.
    void failedCheckShowsAPlainNotice() {
        FBoxes.reset();
        TfmSendFrame& editor = OpenAdd(true);
        editor.edId->clear();
        QMessageBox::Icon icon = QMessageBox::Critical;
        QString title, text;
        QMessageBox::StandardButtons buttons;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            buttons = box->standardButtons();
            box->accept();
        });
        closer.start(10);
        editor.btSave->click();
        QCOMPARE(text, QString("Incorrect frame ID"));
        QCOMPARE(title, QString("Tessel"));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(editor.isVisible());
    }

    void singleKindNeverReadsThePeriod() {
        TfmSendFrame& editor = OpenAdd(true);
        editor.edPeriod->setText("0");
        QCOMPARE(Save(), QString());
        std::unique_ptr<TCanSendItem> item = editor.TakeNewItem();
        QCOMPARE(item->Period, 0);
        QCOMPARE(item->SendType, TCanSendType::Single);
    }

    void identifierLimitsFollowTheFrameFormat() {
        TfmSendFrame& extended = OpenAdd(false);
        extended.edId->setText("1FFFFFFF");
        QCOMPARE(Save(), QString());
        QCOMPARE(extended.TakeNewItem()->Frame.Id, 0x1FFFFFFFu);
        TfmSendFrame& tooWide = OpenAdd(false);
        tooWide.edId->setText("20000000");
        QCOMPARE(Save(), QString("Incorrect frame ID"));
        tooWide.edId->setText("FFFFFFFF");
        QCOMPARE(Save(), QString("Incorrect frame ID"));
        tooWide.edId->setText("123456789");
        QCOMPARE(Save(), QString("Incorrect frame ID"));
        tooWide.edId->setText("12 4");
        QCOMPARE(Save(), QString("Incorrect frame ID"));
    }

    void hiddenEmptyDataBoxStillFails() {
        TfmSendFrame& editor = OpenAdd(true);
        editor.DataEdits[6]->clear();
        editor.cbLength->setCurrentIndex(2);
        QVERIFY(editor.DataEdits[6]->isHidden());
        QCOMPARE(Save(), QString("Incorrect data"));
    }

    void acceptedAddStoresEveryEntryAndPresetsTheNextLength() {
        TfmSendFrame& editor = OpenAdd(true);
        editor.edCaption->setText("Wheel");
        editor.cbSendType->setCurrentIndex(1);
        editor.edPeriod->setText("0100");
        editor.edId->setText("1AB");
        editor.cbRequest->setChecked(true);
        editor.cbLength->setCurrentIndex(3);
        for (std::size_t i = 0; i < 8; ++i)
            editor.DataEdits[i]->setText(QString::number(i + 1));
        QCOMPARE(Save(), QString());
        std::unique_ptr<TCanSendItem> item = editor.TakeNewItem();
        QCOMPARE(item->Caption, std::string("Wheel"));
        QCOMPARE(item->SendType, TCanSendType::Periodic);
        QCOMPARE(item->Period, 100);
        QCOMPARE(item->Frame.Id, 0x1ABu);
        QVERIFY(item->Frame.IsRemote);
        QVERIFY(item->Frame.IsStandard);
        QCOMPARE(item->Frame.Len, 3u);
        QCOMPARE(item->Frame.Data[7], std::uint8_t{8}); // stored beyond the length too
        QVERIFY(!item->Enabled.load());
        QCOMPARE(item->Count.load(), 0);
        QCOMPARE(TfmSendFrame::LastDlc(), 3);
        QCOMPARE(OpenAdd(false).cbLength->currentIndex(), 3);
    }

    void extendedItemEditedInStandardMode() {
        TCanSendItem item;
        item.Frame.Id = 0x1ABCDEF;
        item.Frame.IsStandard = false;
        TfmSendFrame& editor = OpenEdit(item, true);
        QCOMPARE(editor.edId->text(), QString("1ABCDEF")); // shown in full
        QCOMPARE(Save(), QString("Incorrect frame ID"));
        QCOMPARE(item.Frame.Id, 0x1ABCDEFu);
        editor.edId->setText("0FF");
        QCOMPARE(Save(), QString());
        QCOMPARE(item.Frame.Id, 0xFFu);
        QVERIFY(item.Frame.IsStandard);
    }

    void editStoresInPlaceAndKeepsSwitchCountAndPeriod() {
        TCanSendList list;
        auto owned = std::make_unique<TCanSendItem>();
        owned->SendType = TCanSendType::OnRequest;
        owned->Period = 40;
        owned->Enabled = true;
        owned->Count = 5;
        owned->Tag = 77;
        TCanSendItem& item = *owned;
        list.Add(std::move(owned));
        TfmSendFrame& editor = OpenEdit(item, true, &list);
        editor.edCaption->setText("edited");
        QCOMPARE(Save(), QString());
        QCOMPARE(editor.Item, &item);
        QVERIFY(!editor.TakeNewItem());
        QCOMPARE(item.Caption, std::string("edited"));
        QCOMPARE(item.Period, 40); // not periodic: the period keeps its value
        QVERIFY(item.Enabled.load());
        QCOMPARE(item.Count.load(), 5);
        QCOMPARE(item.Tag, 77);
    }

    void restoringAMinimisedDialogKeepsTheEntries() {
        TfmSendFrame& editor = OpenAdd(true);
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.edCaption->setText("typed");
        editor.edId->setText("12");
        editor.cbLength->setCurrentIndex(2);
        editor.setWindowState(Qt::WindowMinimized);
        QTest::qWait(50);
        editor.setWindowState(Qt::WindowNoState);
        QTest::qWait(50);
        QCOMPARE(editor.edCaption->text(), QString("typed"));
        QCOMPARE(editor.edId->text(), QString("12"));
        QCOMPARE(editor.cbLength->currentIndex(), 2);
    }

    void cancelChangesNothing() {
        TCanSendItem item;
        item.Caption = "keep";
        item.Frame.Id = 0x10;
        TfmSendFrame& editor = OpenEdit(item, true);
        editor.edCaption->setText("lost");
        editor.edId->setText("20");
        editor.cbLength->setCurrentIndex(5);
        editor.btCancel->click();
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        QCOMPARE(item.Caption, std::string("keep"));
        QCOMPARE(item.Frame.Id, 0x10u);
        QCOMPARE(TfmSendFrame::LastDlc(), 8);
    }
};

QTEST_MAIN(SendEditorTest)
#include "send_editor_test.moc"
