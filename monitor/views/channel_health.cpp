#include "views/channel_health.h"

#include <cstdio>

const char* ControllerStateText(TControllerState state) {
    switch (state) {
    case TControllerState::ErrorActive:
        return "Error active";
    case TControllerState::Warning:
        return "Warning";
    case TControllerState::ErrorPassive:
        return "Error passive";
    case TControllerState::BusOff:
        return "Bus off";
    case TControllerState::Unknown:
        break;
    }
    return "-";
}

void TBusMeter::Restart(std::uint32_t nowMs, const TBusCounters::TSnapshot& counts) {
    FSamples.clear();
    FSamples.push_back({nowMs, counts});
}

TChannelHealth TBusMeter::Sample(std::uint32_t nowMs, const TBusCounters::TSnapshot& counts,
                                 const TControllerStatus& controller, std::uint32_t bitRate) {
    FSamples.push_back({nowMs, counts});
    // Unsigned subtraction: a wrap of the tick counter does no harm.
    while (FSamples.size() > 2 && nowMs - FSamples[1].Ms >= WindowMs)
        FSamples.pop_front();
    const TSample& from = FSamples.front();
    TChannelHealth health;
    const std::uint32_t elapsedMs = nowMs - from.Ms;
    if (elapsedMs > 0) {
        const double seconds = elapsedMs / 1000.0;
        const auto frames =
            (counts.Received - from.Counts.Received) + (counts.Sent - from.Counts.Sent);
        health.FramesPerSecond = static_cast<double>(frames) / seconds;
        if (bitRate != 0)
            health.LoadPercent =
                100.0 * static_cast<double>(counts.Bits - from.Counts.Bits) / (seconds * bitRate);
    }
    health.Received = counts.Received;
    health.Sent = counts.Sent;
    health.Lost = controller.Overruns + counts.Dropped;
    health.Controller = controller;
    return health;
}

std::string HealthText(int channelIndex, const TChannelHealth& health) {
    char text[200];
    const TControllerStatus& c = health.Controller;
    char errors[16] = "-";
    if (c.Valid)
        std::snprintf(errors, sizeof errors, "%u/%u", c.ReceiveErrors, c.TransmitErrors);
    std::snprintf(
        text, sizeof text, "#%d  %.0f fr/s  %.1f %%  rx %llu  tx %llu  lost %llu  err %s  %s",
        channelIndex + 1, health.FramesPerSecond, health.LoadPercent,
        static_cast<unsigned long long>(health.Received),
        static_cast<unsigned long long>(health.Sent), static_cast<unsigned long long>(health.Lost),
        errors, ControllerStateText(c.State));
    std::string result = text;
    if (c.ErrorCode != 0) {
        std::snprintf(text, sizeof text, "  code 0x%X", c.ErrorCode);
        result += text;
    }
    return result;
}
