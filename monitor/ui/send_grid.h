#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QPushButton;
class QTableView;
class QTimer;
class TCanSendList;
class TfmSendFrame;
class TSendGridCountRelay;
class TSendGridModel;

// What the transmit grid asks of the main window at the moment it needs it.
// Called on the window's thread only.
class TSendGridHost {
public:
    virtual ~TSendGridHost() = default;
    // The channel shown is open (IsCurrentChannelOpen of the window).
    virtual bool IsCurrentChannelOpen() const = 0;
    // The Mode of the shown channel's settings is Standard (CurrentSettings).
    virtual bool IsCurrentChannelStandard() const = 0;
    // Number of channels of the current adapter; decides the closed-channel notice.
    virtual int AdapterChannelCount() const = 0;
};

// The "Transmit" group's contents: the owner-drawn grid `sgSend` of the shown
// channel's transmit list, the button panel ("Add" ... "Move Down"), the
// pop-up "Reset counters" and the Send button timer.
//
// Binding, all on the window's thread:
//   grid->setHost(window);                        once, before the first list
//   grid->setSendList(list, channelIndex);        on every channel switch
//                                                 (nullptr: nothing is drawn)
//   grid->RefreshSendGrid();                      after a mode change
// Bind nullptr (or destroy the grid) before the bound list is freed. The
// items keep a callback into the grid; it stays harmless after the grid is
// gone. Count changes arrive on any thread through the items' OnCountChanged,
// bound to the grid's count relay, and are shown by a queued update on the
// window's thread at most every 50 ms; nothing else is thread-safe.
class TSendGrid : public QWidget {
    Q_OBJECT
public:
    explicit TSendGrid(QWidget* parent = nullptr);
    ~TSendGrid() override;

    void setHost(TSendGridHost* host);
    void setSendList(TCanSendList* list, int channelIndex);

    // Runs the item editor modally; true when it closed with OK. The default
    // shows the dialog with exec(); tests and scripts replace it.
    using TEditorRunner = std::function<bool(TfmSendFrame& editor)>;
    void setEditorRunner(TEditorRunner runner);

    // Refills the grid from the list: identifiers, kinds, counts, tags.
    void RefreshSendGrid();

    // Item operations behind the buttons; they act on the selected item.
    void AddSendItem();
    void EditSendItem();
    void RemoveSendItem();
    void CopySendItem();
    void MoveSendItemUp();
    void MoveSendItemDown();
    void Resetcounters1Click();

    // Index of the selected item, -1 when none.
    int selectedIndex() const;
    void selectItem(int index);

    // Item row whose Send button is drawn pressed, -1 when none.
    int pressedRow() const { return FPressedRow; }
    bool isSendTimerActive() const;

    QTableView* grid() const { return FGrid; }  // sgSend
    QMenu* popupMenu() const { return FPopup; } // pmSendList

    QPushButton* btAdd;
    QPushButton* btEdit;
    QPushButton* btDelete;
    QPushButton* btCopy;
    QPushButton* btUp;
    QPushButton* Button2; // "Move Down"

private:
    void SetupSendGrid();
    void FitColumns();
    void FitCaptionColumn();
    void changeEvent(QEvent* event) override;
    void sgSendMouseDown(const QPoint& pos);
    void sgSendDblClick();
    void tmSendUpdateTimer();
    void bindItemCallbacks();
    bool runEditor(TfmSendFrame& editor);
    bool isCurrentStandard() const;
    void setCurrentRow(int row);
    void scheduleCountFlush();
    // Shows every item's current count now.
    void flushCounts();
    friend class TSendGridDelegate;
    bool eventFilter(QObject* watched, QEvent* event) override;

    TSendGridHost* FHost = nullptr;
    TCanSendList* FSendList = nullptr;
    int FChannelIndex = 0;
    int FClickRow = -1;   // item row of the last click outside "Active", -1 none
    int FPressedRow = -1; // item row whose Send button is drawn pressed, -1 none
    TEditorRunner FEditorRunner;

    QTableView* FGrid = nullptr;
    TSendGridModel* FModel = nullptr;
    QMenu* FPopup = nullptr;
    QTimer* FSendUpdate = nullptr;  // tmSendUpdate
    QTimer* FCountUpdate = nullptr; // spaces out count updates under load

    // Shared with the items' count callbacks, which may run on worker threads.
    std::shared_ptr<TSendGridCountRelay> FRelay;
};
