#include "channel_status_bar.h"

#include "adapters/adapter_custom.h"
#include "model/can_settings.h"

#include <QGridLayout>
#include <QLabel>

namespace {
QString ClosedText(int index) {
    return QStringLiteral("#%1  closed").arg(index + 1);
}
} // namespace

TChannelStatusBar::TChannelStatusBar(QWidget* parent) : QWidget(parent) {
    // One line per channel, so that every figure fits at its longest; the
    // trace's size beside the first.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(0);
    for (int i = 0; i < MaxChannels; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("lbChannelStatus") + QString::number(i));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A new text never changes the bar's size: no layout of the whole
        // window twice a second.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        label->hide();
        grid->addWidget(label, i, 0);
        FLabels[static_cast<size_t>(i)] = label;
    }
    FTraceLabel = new QLabel(this);
    FTraceLabel->setObjectName(QStringLiteral("lbTraceStatus"));
    FTraceLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    FTraceLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(FTraceLabel, 0, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(1, FTraceLabel->fontMetrics().horizontalAdvance(
                                       QStringLiteral("Trace: 2147483647 frames, 99999.9 MB")));
}

void TChannelStatusBar::SetTraceSize(std::size_t frames, std::size_t bytes) {
    constexpr double Megabyte = 1024.0 * 1024.0;
    FTraceLabel->setText(QStringLiteral("Trace: %1 frames, %2 MB")
                             .arg(frames)
                             .arg(static_cast<double>(bytes) / Megabyte, 0, 'f', 1));
}

QString TChannelStatusBar::TraceText() const {
    return FTraceLabel->text();
}

void TChannelStatusBar::SetAdapter(CAdapterCustom* adapter) {
    FAdapter = adapter;
    const int count = adapter == nullptr ? 0 : adapter->GetChannelCount();
    for (int i = 0; i < MaxChannels; ++i) {
        const auto slot = static_cast<size_t>(i);
        FLabels[slot]->setVisible(i < count);
        FLabels[slot]->setText(ClosedText(i));
        FWasOpen[slot] = false;
        FHealth[slot] = {};
    }
}

void TChannelStatusBar::Update(std::uint32_t nowMs) {
    if (FAdapter == nullptr)
        return;
    for (int i = 0; i < FAdapter->GetChannelCount() && i < MaxChannels; ++i) {
        const auto slot = static_cast<size_t>(i);
        const TBusCounters* counters = FAdapter->GetBusCounters(i);
        const TCanSettings* settings = FAdapter->GetSettings(i);
        const bool open = FAdapter->IsChannelOpen(i);
        if (!open || counters == nullptr || settings == nullptr) {
            FWasOpen[slot] = false;
            FHealth[slot] = {};
            FLabels[slot]->setText(ClosedText(i));
            continue;
        }
        const auto counts = counters->Snapshot();
        if (!FWasOpen[slot]) {
            FMeters[slot].Restart(nowMs, counts);
            FWasOpen[slot] = true;
        }
        FHealth[slot] = FMeters[slot].Sample(nowMs, counts, FAdapter->GetControllerStatus(i),
                                             static_cast<std::uint32_t>(settings->Rate));
        FLabels[slot]->setText(QString::fromStdString(HealthText(i, FHealth[slot])));
    }
}

QString TChannelStatusBar::ChannelText(int index) const {
    return index >= 0 && index < MaxChannels ? FLabels[static_cast<size_t>(index)]->text()
                                             : QString();
}

const TChannelHealth& TChannelStatusBar::Health(int index) const {
    return FHealth[static_cast<size_t>(index)];
}
