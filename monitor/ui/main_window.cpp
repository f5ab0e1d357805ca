#include "main_window.h"

#include "channel_frame.h"
#include "com_port_list.h"
#include "frame_table_view.h"
#include "main_window_fonts.h"
#include "message_box.h"
#include "trace_view.h"

#include "adapters/adapter_factory.h"
#include "model/can_rate_list.h"
#include "platform/settings_dir.h"
#include "recording/trace_recorder.h"
#include "recording/trace_recording_feed.h"
#include "transmit/periodic_send_thread.h"
#include "transmit/send_list.h"

#include <cstdio>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kWindowWidth = 850;
constexpr int kWindowHeight = 542;
constexpr int kPanel1Width = 148;
constexpr int kCustomPanelHeight = 183;
constexpr int kSidePanelWidth = 112;
constexpr int kTransmitHeight = 212;
constexpr int kTimerMs = 100;
const QString kProgramName = QStringLiteral("Tessel");
const QString kSubversion = QStringLiteral("for ZLG adapter");

QVBoxLayout* Column(QWidget* owner, int margin = 0) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(4);
    return layout;
}

// A right-hand button panel of a data page.
QWidget* SidePanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setFixedWidth(kSidePanelWidth);
    return panel;
}
} // namespace

// Start-up: the steps of the window's creation, in order.
TfmMain::TfmMain(QWidget* parent) : QMainWindow(parent) {
    FCreating = true;
    setFont(WindowFont());
    const std::string directory = platform::SettingsDir();
    setWindowTitle(kProgramName + QLatin1Char(' ') + kSubversion);
    FIniFileName = directory + kProgramName.toStdString() + ".ini";
    FComPorts = std::make_unique<TComPortListManager>();
    FRates = std::make_unique<TCanRateList>();

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    BuildPanel1();
    BuildPanel2();
    row->addWidget(Panel1);
    row->addWidget(Panel2, 1);
    setCentralWidget(central);
    BuildMenu();
    BuildShortcuts();

    tmUpdate = new QTimer(this);
    tmUpdate->setInterval(kTimerMs);
    connect(tmUpdate, &QTimer::timeout, this, &TfmMain::tmUpdateTimer);

    SetupChannelFrames();
    BuildStatusBar();

    FTableView = new TListViewFrameTable(pTable);
    FTableView->setFont(lvTable->font());
    pTable->layout()->addWidget(FTableView);

    CreateAdapters();
    pcData->setTabVisible(2, false);
    FAutoscroll = true;
    cbTraceAutoscroll->setChecked(true);
    FCreating = false;

    resize(kWindowWidth, kWindowHeight);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    LoadWindowSettings();
}

TfmMain::~TfmMain() {
    FormDestroy();
}

void TfmMain::BuildPanel1() {
    Panel1 = new QWidget(this);
    Panel1->setFixedWidth(kPanel1Width);
    auto* column = Column(Panel1, 2);

    pAdapter = new QWidget(Panel1);
    auto* adapter = Column(pAdapter);
    Label3 = new QLabel(QStringLiteral("Adapter"), pAdapter);
    cbSelectAdapter = new QComboBox(pAdapter);
    gbComport = new QGroupBox(QStringLiteral("COM Port"), pAdapter);
    cbComPort = new QComboBox(gbComport);
    cbComPort->setEditable(true);
    btUpdatePortList = new QPushButton(gbComport);
    btUpdatePortList->setToolTip(QStringLiteral("Refresh available port list"));
    btUpdatePortList->setFixedWidth(22);
    auto* port = new QHBoxLayout(gbComport);
    port->setContentsMargins(4, 2, 4, 4);
    port->addWidget(cbComPort, 1);
    port->addWidget(btUpdatePortList);
    gbComport->hide();
    adapter->addWidget(Label3);
    adapter->addWidget(cbSelectAdapter);
    adapter->addWidget(gbComport);
    connect(btUpdatePortList, &QPushButton::clicked, this, &TfmMain::RefreshPortList);

    pCanManager = new QWidget(Panel1);
    auto* frames = Column(pCanManager);
    frChannelMan0 = new TfrChannelMan(pCanManager);
    frChannelMan0->setObjectName(QStringLiteral("frChannelMan0"));
    frChannelMan0->hide();
    frames->addWidget(frChannelMan0);
    frames->addStretch(1);

    // Hidden test controls that the window keeps: four buttons that only check
    // the connection, and a button naming the first adapter.
    gbCustomPanel1 = new QGroupBox(Panel1);
    gbCustomPanel1->setFixedHeight(kCustomPanelHeight);
    auto* custom = Column(gbCustomPanel1, 4);
    const char* captions[] = {"RF", "LF", "RR", "LR"};
    for (int n = 0; n < 4; ++n) {
        auto* button = new QPushButton(QString::fromLatin1(captions[n]), gbCustomPanel1);
        QFont bold = button->font();
        bold.setBold(true);
        button->setFont(bold);
        button->setProperty("tag", n + 1);
        connect(button, &QPushButton::clicked, this, &TfmMain::btSendHardCode1Click);
        custom->addWidget(button);
        btSendHardCode[static_cast<size_t>(n)] = button;
    }
    gbCustomPanel1->hide();
    btTest = new QPushButton(QStringLiteral("btTest"), Panel1);
    btTest->hide();
    connect(btTest, &QPushButton::clicked, this, &TfmMain::btTestClick);

    column->addWidget(pAdapter);
    column->addWidget(pCanManager, 1);
    column->addWidget(gbCustomPanel1);
}

// The side panel keeps its designed width unless the channel frames' rate
// combos need more to show their longest rate in full.
void TfmMain::FitPanel1() {
    for (TfrChannelMan* frame : FChannelFrames) {
        frame->cbCanRate->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        frame->cbCanRate->setMinimumWidth(frame->cbCanRate->sizeHint().width());
    }
    Panel1->setFixedWidth(std::max(kPanel1Width, Panel1->minimumSizeHint().width()));
}

void TfmMain::BuildPanel2() {
    Panel2 = new QWidget(this);
    auto* column = Column(Panel2, 2);
    tbChannels = new QTabBar(Panel2);
    tbChannels->setShape(QTabBar::RoundedNorth);
    tbChannels->setExpanding(false);
    tbChannels->setDrawBase(false);
    connect(tbChannels, &QTabBar::currentChanged, this, &TfmMain::tbChannelsChange);

    Splitter1 = new QSplitter(Qt::Vertical, Panel2);
    pcData = new QTabWidget(Splitter1);
    TabSheet1 = BuildTablePage();
    TabSheet2 = BuildTracePage();
    tsLog = BuildLogPage();
    pcData->addTab(TabSheet1, QStringLiteral("Table"));
    pcData->addTab(TabSheet2, QStringLiteral("Trace"));
    pcData->addTab(tsLog, QStringLiteral("Log"));
    connect(pcData, &QTabWidget::currentChanged, this, &TfmMain::pcDataChange);

    GroupBox4 = new QGroupBox(QStringLiteral("Transmit"), Splitter1);
    auto* transmit = Column(GroupBox4, 4);
    sgSend = new TSendGrid(GroupBox4);
    // The grid asks the window about the channel shown only when it needs to.
    sgSend->setHost(this);
    transmit->addWidget(sgSend);
    Splitter1->addWidget(pcData);
    Splitter1->addWidget(GroupBox4);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({kWindowHeight - kTransmitHeight, kTransmitHeight});

    column->addWidget(tbChannels);
    column->addWidget(Splitter1, 1);
}

QWidget* TfmMain::BuildTablePage() {
    auto* page = new QWidget(pcData);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(2, 2, 2, 2);
    pTable = new QWidget(page);
    Column(pTable);
    lvTable = new QTreeWidget(page);
    lvTable->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("DLC")});
    lvTable->setFont(MonospaceFont(13));
    lvTable->hide();
    auto* side = SidePanel(page);
    auto* buttons = Column(side);
    btClearTable = new QPushButton(QStringLiteral("Clear table"), side);
    buttons->addStretch(1);
    buttons->addWidget(btClearTable);
    connect(btClearTable, &QPushButton::clicked, this, &TfmMain::ClearTable);
    row->addWidget(pTable, 1);
    row->addWidget(side);
    return page;
}

QWidget* TfmMain::BuildTracePage() {
    auto* page = new QWidget(pcData);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(2, 2, 2, 2);
    auto* group = new QGroupBox(page);
    auto* lines = Column(group, 2);
    BuildTraceTools(group, lines);
    mTrace = new TTraceView(group);
    mTrace->setFont(MonospaceFont(11));
    lines->addWidget(mTrace);
    auto* side = SidePanel(page);
    auto* buttons = Column(side);
    cbTraceAutoscroll = new QCheckBox(QStringLiteral("Autoscroll"), side);
    btClearTrace = new QPushButton(QStringLiteral("Clear trace"), side);
    lbTraceTime = new QLabel(QStringLiteral("Time"), side);
    cbTraceTime = new QComboBox(side);
    cbTraceTime->setObjectName(QStringLiteral("cbTraceTime"));
    // In the order of TTraceTimeFormat.
    cbTraceTime->addItems({QStringLiteral("Tick (ms)"), QStringLiteral("Clock"),
                           QStringLiteral("Since start (s)"), QStringLiteral("Delta (s)")});
    buttons->addWidget(cbTraceAutoscroll);
    buttons->addWidget(btClearTrace);
    btTracePause = new QPushButton(QStringLiteral("Pause"), side);
    btTracePause->setCheckable(true);
    lbTracePaused = new QLabel(side);
    buttons->addWidget(lbTraceTime);
    buttons->addWidget(cbTraceTime);
    buttons->addWidget(btTracePause);
    buttons->addWidget(lbTracePaused);
    buttons->addStretch(1);
    connect(btTracePause, &QPushButton::toggled, this, &TfmMain::PauseTrace);
    connect(cbTraceTime, &QComboBox::currentIndexChanged, this,
            [this](int index) { mTrace->SetTimeFormat(static_cast<TTraceTimeFormat>(index)); });
    connect(cbTraceAutoscroll, &QCheckBox::toggled, this, &TfmMain::cbTraceAutoscrollClick);
    connect(btClearTrace, &QPushButton::clicked, this, &TfmMain::ClearTrace);
    row->addWidget(group, 1);
    row->addWidget(side);
    return page;
}

QWidget* TfmMain::BuildLogPage() {
    auto* page = new QWidget(pcData);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(2, 2, 2, 2);
    mLog = new QPlainTextEdit(page);
    mLog->setReadOnly(true);
    mLog->setFont(MonospaceFont(11));
    mLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* side = SidePanel(page);
    btClearLog = new QPushButton(QStringLiteral("Clear log"), side);
    auto* buttons = Column(side);
    buttons->addWidget(btClearLog);
    buttons->addStretch(1);
    connect(btClearLog, &QPushButton::clicked, mLog, &QPlainTextEdit::clear);
    row->addWidget(mLog, 1);
    row->addWidget(side);
    return page;
}

void TfmMain::BuildMenu() {
    BuildFileMenu();
    About1 = menuBar()->addAction(QStringLiteral("About"));
    connect(About1, &QAction::triggered, this, &TfmMain::ShowAbout);
}

// Slot 0 is frChannelMan0; slots 1 to 3 are made here alike. Every frame
// relays to the same handlers, which find the channel by the frame's tag.
void TfmMain::SetupChannelFrames() {
    FChannelFrames[0] = frChannelMan0;
    auto* frames = static_cast<QVBoxLayout*>(pCanManager->layout());
    for (int n = 1; n < MaxChannels; ++n) {
        auto* frame = new TfrChannelMan(pCanManager);
        frame->setObjectName(QStringLiteral("frChannelMan") + QString::number(n));
        frame->hide();
        frames->insertWidget(n, frame);
        FChannelFrames[static_cast<size_t>(n)] = frame;
    }
    for (int i = 0; i < MaxChannels; ++i) {
        TfrChannelMan* frame = FChannelFrames[static_cast<size_t>(i)];
        frame->SetChannelIndex(i);
        frame->SetSingleChannel(false);
        frame->cbCanRate->installEventFilter(this);
        frame->cbCanMode->installEventFilter(this);
        connect(frame, &TfrChannelMan::RateChanged, this, &TfmMain::cbCanRateChange);
        connect(frame, &TfrChannelMan::ModeChanged, this, &TfmMain::cbCanModeChange);
        connect(frame, &TfrChannelMan::PortClicked, this, &TfmMain::frChannelMan0btPortClick);
        FSendThreads[static_cast<size_t>(i)] = std::make_unique<TPeriodicSendThread>(nullptr, true);
    }
}

void TfmMain::CreateAdapters() {
    FAdapterIndex = -1;
    FAdapter = nullptr;
    FAdapterFactory = std::make_unique<CAdapterFactory>();
    std::vector<std::string> names;
    FAdapterFactory->GetNames(names);
    for (const std::string& name : names)
        cbSelectAdapter->addItem(QString::fromStdString(name));
    if (FAdapterFactory->Count() >= 1)
        SelectAdapter(0);
    cbSelectAdapter->setEnabled(FAdapterFactory->Count() > 1);
}

void TfmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TfmMain::FormShow() {
    pcData->setCurrentIndex(1);
    pcData->setCurrentIndex(0);
    UpdateChannelControls();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (!FQuitWithoutQuestion && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    // Saved while the window still exists, so that a failure can be shown;
    // the settings are saved once more when the window goes away.
    if (!FQuitWithoutQuestion) {
        const QStringList failures = SaveStoredFiles();
        FSaveFailureShown = !failures.isEmpty();
        if (FSaveFailureShown)
            ShowError(failures.join(QLatin1Char('\n')));
    }
    event->accept();
}

void TfmMain::CloseWithoutQuestion() {
    FQuitWithoutQuestion = true;
    close();
}

QStringList TfmMain::SaveStoredFiles() {
    QStringList failures;
    if (FAdapter == nullptr)
        return failures;
    const bool adapter = FAdapter->SaveSettings(FIniFileName);
    if (!SaveWindowSettings() || !adapter)
        failures << QStringLiteral("Cannot save the settings to ") +
                        QString::fromStdString(FIniFileName);
    for (int i = 0; i < FAdapter->GetChannelCount(); ++i)
        if (TCanSendList* list = FAdapter->GetSendList(i); list != nullptr && !list->Save())
            failures << QString::fromStdString(list->LastError());
    return failures;
}

bool TfmMain::FormCloseQuery() {
    return TMessageBoxes::ask(QStringLiteral("Are you sure you want to exit the application?"),
                              this);
}

void TfmMain::FormClose() {
    StopRecording();
    if (FAdapter == nullptr)
        return;
    for (int i = 0; i < FAdapter->GetChannelCount(); ++i)
        if (FAdapter->IsChannelOpen(i))
            DisconnectChannel(i, true);
}

// Shutdown: the channels are closed (also when the window goes away without
// being closed), the settings are saved, then the registry is freed and with
// it the channels, which save their transmit lists. The periodic send threads
// and the views let go of the transmit lists and tables before those are freed.
void TfmMain::FormDestroy() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    StopRecording();
    tmUpdate->stop();
    tmStatus->stop();
    FormClose();
    for (auto& thread : FSendThreads)
        thread.reset();
    FTableView->SetTable(nullptr);
    mTrace->SetTraceList(nullptr);
    sgSend->setSendList(nullptr, 0);
    FComPorts.reset();
    FRates.reset();
    // The transmit lists are saved by their channels when the registry is
    // freed; those report a failure on the debug output (standard error).
    bool saved = FAdapter == nullptr || FAdapter->SaveSettings(FIniFileName);
    saved = SaveWindowSettings() && saved;
    if (!saved && !FSaveFailureShown)
        std::fprintf(stderr, "tessel: Cannot save the settings to %s\n", FIniFileName.c_str());
    FAdapter = nullptr;
    FSerialAdapter = nullptr;
    FAdapterFactory.reset();
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    // cbCanModeKeyPress: typed characters never change a rate or mode combo;
    // only picking an entry does.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
