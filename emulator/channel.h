#pragma once

// One CAN channel of the adapter: its controller configuration, the queue of
// frames the host asked to transmit, and the bounded receive buffer.
//
// Threads: connection threads (host side) and the thread of the bus the
// channel sits on. Every member below is guarded by mutex_; the bus thread
// never holds its own lock while calling in here, so there is no lock order.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "bit_timing.h"
#include "can_frame.h"

namespace emu {

// Controller modes selected by the host. Mode 3 combines listen-only and
// self-test: the channel hears the bus and its own frames but sends nothing.
enum class BusMode : std::uint32_t { Normal = 0, ListenOnly = 1, SelfTest = 2, ListenSelfTest = 3 };

inline bool sendsOnBus(BusMode mode) {
    return mode == BusMode::Normal || mode == BusMode::SelfTest;
}

struct ChannelConfig {
    std::uint32_t acceptCode = 0;
    std::uint32_t acceptMask = 0xFFFFFFFF;
    std::uint32_t filterKind = 0;
    std::uint8_t btr0 = 0;
    std::uint8_t btr1 = 0;
    BusMode mode = BusMode::Normal;
};

// What the bus needs to know about a channel at one moment.
struct BusView {
    bool active = false; // started with a valid bit timing
    BitTiming timing;
    BusMode mode = BusMode::Normal;
};

// Controller conditions chosen on the command line, so hosts can show error
// counters, error states and overruns without a faulty bus. Fixed while the
// emulator runs.
struct ControllerFaults {
    std::uint8_t receiveErrors = 0;  // reported receive error counter
    std::uint8_t transmitErrors = 0; // reported transmit error counter
    bool errorPassive = false;       // transmit error counter at least 128
    bool busOff = false;             // takes no part in the bus, counter 255
    std::uint32_t overrunEvery = 0;  // every n-th arriving frame is lost as an overrun (0 = none)

    // The counters as the controller reports them with its states applied.
    std::uint8_t reportedTransmitErrors() const;
    bool operator==(const ControllerFaults&) const = default;
};

struct ChannelStatus {
    bool started = false;
    bool configured = false;
    ChannelConfig config;
    std::size_t receiveWaiting = 0;
    std::size_t transmitWaiting = 0;
    ControllerFaults faults;
    bool overrunFlag = false;      // an overrun since the last init/reset/clear
    std::uint64_t overruns = 0;    // frames lost to a full receive buffer
    std::uint64_t transmitted = 0; // frames this channel put on the bus
    std::uint64_t received = 0;    // frames delivered into the receive buffer
    std::uint64_t discarded = 0;   // host frames dropped (channel stopped or listen-only)
};

class Channel {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kTransmitCapacity = 64;

    Channel(int index, std::size_t receiveCapacity, ControllerFaults faults = {});

    int index() const { return index_; }

    // Called once before any thread runs: how the channel tells its bus that
    // something changed (frames queued, started, stopped).
    void setBusWake(std::function<void()> wake) { wakeBus_ = std::move(wake); }

    // --- host side ---
    // Applies a new configuration; the controller goes to reset mode first.
    void initialise(const ChannelConfig& config);
    void start();
    void reset();
    void clearReceiveBuffer();
    // Queues frames for the bus, waiting for room until the deadline. Frames of
    // a stopped, never initialised, listen-only or bus-off channel are accepted
    // and discarded. Returns how many frames were accepted (all of them unless
    // the deadline passed).
    std::size_t queueTransmit(std::span<const CanFrame> frames, Clock::time_point deadline);
    // Waits until at least `count` frames wait; false when the deadline
    // passed first or the channel shut down.
    bool waitForReceived(std::size_t count, Clock::time_point deadline);
    // Takes up to `max` waiting frames, oldest first, without waiting.
    std::vector<CanFrame> takeReceived(std::size_t max);
    ChannelStatus status() const;
    void shutdown();

    // --- bus side ---
    BusView busView() const;
    // The frame first in line and its ticket, without removing it.
    std::optional<std::pair<std::uint64_t, CanFrame>> peekTransmit() const;
    // Removes the frame with that ticket if it is still first in line.
    bool popTransmit(std::uint64_t ticket);
    // A frame arrived from the bus; lost (and counted) when the buffer is full
    // or an injected overrun is due; ignored while the controller is bus-off.
    void deliver(const CanFrame& frame);

private:
    void notifyBus() const;

    const int index_;
    const std::size_t receiveCapacity_;
    const ControllerFaults faults_;
    std::function<void()> wakeBus_; // set before threads start, then read-only

    // Host side runs on connection threads, bus side on the bus thread;
    // everything below is guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable changed_;      // transmit room, shutdown
    std::condition_variable receiveReady_; // enough receive data for a waiting read, shutdown
    // The smallest count a waiting read needs, and how many reads wait: the
    // bus wakes readers only when that many frames wait, not per frame.
    std::size_t wakeReadersAt_ = SIZE_MAX;
    std::size_t readersWaiting_ = 0;
    ChannelConfig config_;
    bool configured_ = false;
    bool started_ = false;
    bool shutdown_ = false;
    bool overrunFlag_ = false;
    std::uint64_t nextTicket_ = 0;
    std::deque<std::pair<std::uint64_t, CanFrame>> transmitQueue_;
    std::deque<CanFrame> receiveBuffer_;
    std::uint64_t overruns_ = 0;
    std::uint64_t transmitted_ = 0;
    std::uint64_t received_ = 0;
    std::uint64_t discarded_ = 0;
    std::uint64_t arrivals_ = 0; // frames offered by the bus, for injected overruns
};

} // namespace emu
