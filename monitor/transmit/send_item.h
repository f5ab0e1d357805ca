#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "model/can_frame.h"

enum class TCanSendType : std::int32_t { Single = 0, Periodic = 1, OnRequest = 2 };

// The send handler of an item and of a list: takes its own copy of the frame
// and returns without blocking (the channel queues it for its send thread).
using TCanSendEvent = std::function<void(const TCanFrame& frame)>;
// Raised after every change of an item's Count, on the thread that changed it.
using TCountChangedEvent = std::function<void(std::int32_t count, std::int32_t tag)>;

// One transmit item: a frame prepared by the user, with its caption, kind,
// period and send counter.
// Shared: sent by the window's thread (single send), the periodic send thread
// and the receive thread (sweeps, under the list's lock). Count, Enabled and
// LastSendTime are atomics because a send and the window may touch them at
// once; the other fields are changed by the window's thread only, and only
// under the list's lock (TCanSendList::Lock) while the item is in a list that
// sweeps may walk.
class TCanSendItem {
public:
    TCanSendItem() = default;
    TCanSendItem(const TCanSendItem&) = delete;
    TCanSendItem& operator=(const TCanSendItem&) = delete;

    // "Single", "Periodic", "OnRequest", or "Unknown".
    std::string GetTypeName() const;
    // Hands the frame to OnSend, notes the tick count, counts and reports;
    // does nothing at all without a send handler.
    void Send();
    void ResetCount();
    // Periods of 0 or below become 1.
    void SetPeriod(std::int32_t ms);
    // Copies caption, frame, kind, period and Enabled; counters, tag,
    // callbacks and LastSendTime stay.
    void Assign(const TCanSendItem& source);

    // The file line: eight fields, each followed by ";".
    std::string ToText() const;
    // Reads a file line; false when rejected (fields read so far stay).
    bool FromText(const std::string& line);

    std::string Caption;
    TCanFrame Frame;
    TCanSendType SendType = TCanSendType::Single;
    std::int32_t Period = 0; // ms, periodic items only
    std::atomic<std::int32_t> Count{0};
    std::atomic<bool> Enabled{false};
    TCanSendEvent OnSend;
    TCountChangedEvent OnCountChanged;
    std::int32_t Tag = 0;
    std::atomic<std::uint32_t> LastSendTime{0}; // host tick ms of the latest send
};
