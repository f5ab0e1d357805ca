#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "views/bus_counters.h"

// What the adapter's controller says about a channel.
enum class TControllerState { Unknown, ErrorActive, Warning, ErrorPassive, BusOff };

struct TControllerStatus {
    bool Valid = false; // false until the first successful status read
    std::uint8_t ReceiveErrors = 0;
    std::uint8_t TransmitErrors = 0;
    TControllerState State = TControllerState::Unknown;
    std::uint64_t Overruns = 0;  // frames the adapter lost since the channel opened
    std::uint32_t ErrorCode = 0; // the adapter's last error code; 0 = none
};

// "Error active", "Warning", "Error passive", "Bus off", or "-" when unknown.
const char* ControllerStateText(TControllerState state);

// One channel's figures as the status bar shows them.
struct TChannelHealth {
    double FramesPerSecond = 0;
    double LoadPercent = 0;
    std::uint64_t Received = 0;
    std::uint64_t Sent = 0;
    std::uint64_t Lost = 0; // adapter overruns plus frames the monitor dropped
    TControllerStatus Controller;
};

// Turns the running totals into rates over the last WindowMs. Window's thread only.
class TBusMeter {
public:
    // Long enough to even out the receive thread's batches, short enough to
    // follow a change of load within a few seconds.
    static constexpr std::uint32_t WindowMs = 2000;

    // Starts measuring from these totals (the channel was just opened).
    void Restart(std::uint32_t nowMs, const TBusCounters::TSnapshot& counts);
    // Figures at nowMs; the rates cover the samples of the last WindowMs (at
    // least the previous one).
    TChannelHealth Sample(std::uint32_t nowMs, const TBusCounters::TSnapshot& counts,
                          const TControllerStatus& controller, std::uint32_t bitRate);

private:
    struct TSample {
        std::uint32_t Ms;
        TBusCounters::TSnapshot Counts;
    };
    std::deque<TSample> FSamples; // oldest first
};

// "#1  1234 fr/s  45.6 %  rx 123  tx 4  lost 0  err 0/0  Error active", and
// " code 0x1A" after it when the adapter reports an error code.
std::string HealthText(int channelIndex, const TChannelHealth& health);
