#include "log_view_dialog.h"

#include "frame_table_view.h"
#include "main_window_fonts.h"
#include "trace_view.h"

#include "model/can_frame.h"
#include "recording/trace_log_frames.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <map>

namespace {

QString SummaryText(const canlog::LogContents& contents) {
    QString text = QStringLiteral("%1 frames").arg(contents.frames.size());
    if (contents.malformedLines != 0)
        text += QStringLiteral("; ") + QString::fromStdString(contents.summary());
    return text;
}

} // namespace

TLogViewDialog::TLogViewDialog(const QString& path, const canlog::LogContents& contents,
                               QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Tessel - ") + QFileInfo(path).fileName());
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* summary = new QLabel(SummaryText(contents), this);
    summary->setObjectName(QStringLiteral("lbLogSummary"));
    cbTime = new QComboBox(this);
    cbTime->setObjectName(QStringLiteral("cbLogTime"));
    cbTime->addItems({QStringLiteral("Tick (ms)"), QStringLiteral("Clock"),
                      QStringLiteral("Since start (s)"), QStringLiteral("Delta (s)")});
    top->addWidget(summary, 1);
    top->addWidget(new QLabel(QStringLiteral("Time"), this));
    top->addWidget(cbTime);
    layout->addLayout(top);

    // One page per channel, in channel order; the tick scale counts from the
    // log's first frame.
    std::map<int, std::vector<const canlog::LogFrame*>> byChannel;
    for (const auto& frame : contents.frames)
        byChannel[frame.channel].push_back(&frame);
    const std::int64_t firstUs = contents.frames.empty() ? 0 : contents.frames.front().timeUs;
    auto* tabs = new QTabWidget(this);
    for (const auto& [channel, frames] : byChannel) {
        TChannelPage page{channel, std::make_unique<TCorvexTraceList>(),
                          std::make_unique<TCorvexTable>(), nullptr, nullptr};
        for (const canlog::LogFrame* logged : frames) {
            const TCanFrame frame = ToCanFrame(*logged, firstUs);
            page.Trace->Add(frame, logged->tx);
            page.Table->Update(frame);
        }
        auto* splitter = new QSplitter(Qt::Vertical, tabs);
        page.TraceView = new TTraceView(splitter);
        page.TraceView->setFont(MonospaceFont(11));
        page.TableView = new TListViewFrameTable(splitter);
        page.TableView->setFont(MonospaceFont(11));
        splitter->addWidget(page.TraceView);
        splitter->addWidget(page.TableView);
        page.TraceView->SetTraceList(page.Trace.get());
        page.TraceView->SetTimeFormat(TTraceTimeFormat::Clock);
        page.TraceView->CatchUp();
        page.TableView->SetTable(page.Table.get());
        page.Table->Refresh();
        page.TableView->ApplyPendingChanges();
        tabs->addTab(splitter, QStringLiteral("Channel %1").arg(channel));
        FPages.push_back(std::move(page));
    }
    layout->addWidget(tabs, 1);
    cbTime->setCurrentIndex(static_cast<int>(TTraceTimeFormat::Clock));
    connect(cbTime, &QComboBox::currentIndexChanged, this, [this](int index) {
        for (auto& page : FPages)
            page.TraceView->SetTimeFormat(static_cast<TTraceTimeFormat>(index));
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 600);
}

TLogViewDialog::~TLogViewDialog() {
    // The views let go of the lists and tables before those are freed.
    for (auto& page : FPages) {
        page.TableView->SetTable(nullptr);
        page.TraceView->SetTraceList(nullptr);
    }
}

TTraceView* TLogViewDialog::TraceView(int page) const {
    return page >= 0 && page < static_cast<int>(FPages.size())
               ? FPages[static_cast<std::size_t>(page)].TraceView
               : nullptr;
}

TListViewFrameTable* TLogViewDialog::TableView(int page) const {
    return page >= 0 && page < static_cast<int>(FPages.size())
               ? FPages[static_cast<std::size_t>(page)].TableView
               : nullptr;
}
