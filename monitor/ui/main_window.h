#pragma once

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <memory>
#include <string>

#include "send_grid.h"

class CAdapterCustom;
class CAdapterFactory;
class CAdapterSerial;
class QAction;
class QMenu;
class TTraceRecorder;
class TTraceRecordingFeed;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class QPlainTextEdit;
class QPushButton;
class QCheckBox;
class QSplitter;
class QTabBar;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QWidget;
class TCanRateList;
class TCanSendList;
class TCanSettings;
class TChannelStatusBar;
class TComPortListManager;
class TComPortWatcher;
class TCorvexTable;
class TCorvexTraceList;
class TfrChannelMan;
class TListViewFrameTable;
class TLogger;
class TPeriodicSendThread;
class TTraceView;

// The monitor's main window: adapter choice, channel frames, the "Table",
// "Trace" and hidden "Log" pages of the channel on display, and the transmit
// grid. Everything here runs on the window's thread; the channel threads
// reach it only through the logger, the trace list and the frame table,
// which guard themselves.
class TfmMain : public QMainWindow, public TSendGridHost {
    Q_OBJECT

public:
    static constexpr int MaxChannels = 4;

    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    // Closes the window in order, as Exit does but without the question: on
    // SIGTERM, SIGINT or SIGHUP. The files are saved when the window goes
    // away; a failure then goes to standard error.
    void CloseWithoutQuestion();

    // Operations of the window, public for the tests.
    void SelectAdapter(int index);
    void ApplyAdapterSettings();
    void SelectChannel(int index);
    bool IsChannelShownOpen(int i) const;
    bool IsCurrentChannelOpen() const override;
    bool IsCurrentChannelStandard() const override;
    int AdapterChannelCount() const override;
    TCanSettings* CurrentSettings() const;
    void UpdateChannelControls();
    // Shows in each channel frame what went wrong with its open channel.
    void ShowChannelFaults();
    void ConnectChannel(int i);
    void DisconnectChannel(int i, bool quiet);
    void DrainLog();
    void DrainTrace();
    void ClearTrace();
    void ClearTable();
    void RefreshPortList();
    void ShowAbout();
    void ShowError(const QString& text);
    void ShowInfo(const QString& text);

    // The File menu's work without its dialogs. The shown channel or all
    // channels merged by time, in the format of the file's extension.
    bool SaveTrace(const QString& path, bool bothChannels, QString& error);
    // Records every channel's received and sent frames from now on.
    bool StartRecording(const QString& path, QString& error);
    // Writes what is pending and closes the file; false when a write failed.
    bool StopRecording();
    bool IsRecording() const { return FRecorder != nullptr; }
    // Shows the log in a window of its own; an error box when it cannot be read.
    void OpenLog(const QString& path);

    const std::string& IniFileName() const { return FIniFileName; }
    CAdapterCustom* Adapter() const { return FAdapter; }
    int ChannelIndex() const { return FChannelIndex; }
    TfrChannelMan* ChannelFrame(int i) const { return FChannelFrames[static_cast<size_t>(i)]; }
    TPeriodicSendThread* SendThread(int i) const;
    bool Autoscroll() const { return FAutoscroll; }

    // Components.
    QWidget* Panel1;
    QWidget* pAdapter;
    QLabel* Label3;
    QComboBox* cbSelectAdapter;
    QGroupBox* gbComport;
    QComboBox* cbComPort;
    QPushButton* btUpdatePortList;
    QWidget* pCanManager;
    TfrChannelMan* frChannelMan0;
    QGroupBox* gbCustomPanel1;
    std::array<QPushButton*, 4> btSendHardCode;
    QPushButton* btTest;
    QWidget* Panel2;
    QTabBar* tbChannels;
    QSplitter* Splitter1;
    QTabWidget* pcData;
    QWidget* TabSheet1;
    QWidget* pTable;
    QPushButton* btClearTable;
    QTreeWidget* lvTable;
    QWidget* TabSheet2;
    TTraceView* mTrace;
    QCheckBox* cbTraceAutoscroll;
    QPushButton* btClearTrace;
    QLabel* lbTraceTime;
    QComboBox* cbTraceTime; // how trace lines show their time
    QWidget* tsLog;
    QPlainTextEdit* mLog;
    QPushButton* btClearLog;
    QGroupBox* GroupBox4;
    TSendGrid* sgSend;
    QAction* About1;
    QMenu* mnFile;
    QAction* SaveTraceAs1;
    QAction* Record1;
    QAction* StopRecording1;
    QAction* OpenLog1;
    QLabel* lbRecording; // size, frame count and drops of the running recording
    QTimer* tmUpdate;
    TListViewFrameTable* FTableView;
    TChannelStatusBar* FStatusBar;
    QTimer* tmStatus;
    QPushButton* btTracePause;
    QLabel* lbTracePaused;
    QLineEdit* edTraceFilterId;
    QComboBox* cbTraceDirection;
    QComboBox* cbFindKind;
    QLineEdit* edFind;
    QPushButton* btFindPrevious;
    QPushButton* btFindNext;

    // Trace tools, public for the tests.
    void PauseTrace(bool paused);
    void ApplyTraceFilter();
    void FindInTrace(bool forward);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPanel1();
    void BuildPanel2();
    QWidget* BuildTablePage();
    QWidget* BuildTracePage();
    QWidget* BuildLogPage();
    void BuildMenu();
    void BuildFileMenu();
    void SaveTraceAsClick();
    void RecordClick();
    void OpenLogClick();
    void FeedRecording();
    void UpdateRecordingStatus();
    std::vector<TCorvexTraceList*> ChannelTraceLists() const;
    void BuildStatusBar();
    void BuildTraceTools(QWidget* group, QVBoxLayout* lines);
    void BuildShortcuts();
    void ShowTracePause();
    void LoadWindowSettings();
    // False when the file could not be written.
    bool SaveWindowSettings();
    void ApplyTraceLimit();
    void FitPanel1();
    void tmStatusTimer();
    void SetupChannelFrames();
    void CreateAdapters();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    // Saves the settings file and the transmit lists; the texts of the saves
    // that failed.
    QStringList SaveStoredFiles();

    void frChannelMan0btPortClick(int channel);
    void cbCanRateChange(int channel, int item);
    void cbCanModeChange(int channel, int item);
    void tmUpdateTimer();
    void pcDataChange(int page);
    void tbChannelsChange(int index);
    void cbTraceAutoscrollClick(bool checked);
    void btTestClick();
    void btSendHardCode1Click();
    void CheckConnection();
    void WMDeviceChange();

    std::string FIniFileName;
    std::unique_ptr<TComPortListManager> FComPorts;
    TComPortWatcher* FPortWatcher = nullptr; // made when a serial adapter is chosen
    std::unique_ptr<CAdapterFactory> FAdapterFactory;
    CAdapterCustom* FAdapter = nullptr;
    CAdapterSerial* FSerialAdapter = nullptr;
    int FAdapterIndex = -1;
    int FChannelIndex = 0;
    bool FIsSerial = false;
    TCorvexTraceList* FTrace = nullptr;
    TCorvexTable* FTable = nullptr;
    TLogger* FLogger = nullptr;
    std::array<TfrChannelMan*, MaxChannels> FChannelFrames{};
    std::array<TCanSettings*, MaxChannels> FChannelSettings{};
    std::unique_ptr<TCanRateList> FRates;
    bool FAutoscroll = true;
    std::unique_ptr<TTraceRecorder> FRecorder;
    std::unique_ptr<TTraceRecordingFeed> FRecordingFeed;
    TCanSendList* FSendList = nullptr;
    std::array<TCanSendList*, MaxChannels> FSendLists{};
    std::array<std::unique_ptr<TPeriodicSendThread>, MaxChannels> FSendThreads;
    std::size_t FTraceLimit = 0; // newest frames a trace keeps; 0 = all
    bool FCreating = false;
    bool FShown = false;
    bool FDestroyed = false;
    // An error box has told of failed saves at Exit: not repeated on stderr.
    bool FSaveFailureShown = false;
    bool FQuitWithoutQuestion = false;
};
