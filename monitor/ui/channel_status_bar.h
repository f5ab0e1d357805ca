#pragma once

#include <QWidget>

#include <array>
#include <cstddef>
#include <cstdint>

#include "views/channel_health.h"

class CAdapterCustom;
class QLabel;

// The window's status bar line: per channel of the adapter, its frame rate,
// bus load, frames received, sent and lost, error counters and controller
// state. Window's thread only.
class TChannelStatusBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxChannels = 4;
    // How often the window samples the figures.
    static constexpr int UpdateIntervalMs = 500;

    explicit TChannelStatusBar(QWidget* parent = nullptr);

    // Shows one label per channel of the adapter; none without one.
    void SetAdapter(CAdapterCustom* adapter);
    // Samples every channel's totals and status at nowMs (host ticks).
    void Update(std::uint32_t nowMs);

    QString ChannelText(int index) const;
    // The shown trace's size: "Trace: 1234 frames, 0.3 MB".
    void SetTraceSize(std::size_t frames, std::size_t bytes);
    QString TraceText() const;
    // The figures last shown for the channel; zero while it is closed.
    const TChannelHealth& Health(int index) const;

private:
    CAdapterCustom* FAdapter = nullptr;
    std::array<QLabel*, MaxChannels> FLabels{};
    QLabel* FTraceLabel;
    std::array<TBusMeter, MaxChannels> FMeters;
    std::array<TChannelHealth, MaxChannels> FHealth;
    std::array<bool, MaxChannels> FWasOpen{};
};
