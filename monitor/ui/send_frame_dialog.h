#pragma once

#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TCanSendItem;
class TCanSendList;

// TfmSendFrame: the modal editor of one transmit item. The caller sets Mode,
// IsStandard and, for an edit, Item and List, then shows it modally. Only an
// OK result means the entries were checked and stored; in add mode the caller
// then takes the new item with TakeNewItem(). Window's thread only.
// To show it pre-filled without changing anything (screenshots), use edit
// mode with Item pointing to an item the caller owns and never press Save.
class TfmSendFrame : public QDialog {
    Q_OBJECT
public:
    enum : int { ModeAdd = 0, ModeEdit = 1 };

    explicit TfmSendFrame(QWidget* parent = nullptr);
    ~TfmSendFrame() override;

    int Mode = ModeAdd;
    // The channel shown transmits standard frames: 11-bit identifiers.
    bool IsStandard = true;
    // Edit mode: the item to edit. Add mode: none until an accepted save.
    TCanSendItem* Item = nullptr;
    // Edit mode: the list that owns Item; its lock guards the in-place store
    // against a sweep sending the item at the same moment. May be none.
    TCanSendList* List = nullptr;

    // Add mode, after OK: hands the new item over to the caller.
    std::unique_ptr<TCanSendItem> TakeNewItem();

    // Data length preset of the next new item: the length of the last accepted
    // save anywhere in the program, 8 at start.
    static int LastDlc();
    static void SetLastDlc(int dlc);

    // Fills and arranges the controls for Mode and Item; runs on showing.
    void FormShow();
    // The Save/Add button: checks in order, shows the first failure, stores
    // and closes with OK when all pass.
    void btSaveClick();

    QLineEdit* edCaption;
    QComboBox* cbSendType;
    QWidget* pPeriod;
    QLineEdit* edPeriod;
    QLineEdit* edId;
    QCheckBox* cbRequest;
    QComboBox* cbLength;
    QWidget* pData;
    std::array<QLineEdit*, 8> DataEdits{};
    QPushButton* btSave;
    QPushButton* btCancel;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FillControls();
    void UpdateVisibility();
    bool ValidateAndStore();
    bool edIdKeyPress(QLineEdit* edit, const QString& typed, int lengthLimit);
    bool edPeriodKeyPress(const QString& typed) const;

    int FIdLimit = 3; // characters the user may type into edId
    std::unique_ptr<TCanSendItem> FNewItem;
};
