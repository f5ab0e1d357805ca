#pragma once

#include <string>

#include "adapters/send_queue.h"
#include "model/can_frame.h"
#include "model/can_settings.h"
#include "model/logger.h"
#include "transmit/send_list.h"
#include "views/bus_counters.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

// One channel of an adapter: owns the channel's settings, logger, trace list,
// frame table, transmit list and send queue, and is the single entry through
// which frames are handed over for transmission.
//
// Threads: the window's thread, the channel's receive and send threads while
// it is open, and its periodic send thread. The logger, trace list, frame
// table and transmit list guard themselves; the send queue has its own lock.
class TChannelManager {
public:
    virtual ~TChannelManager();
    TChannelManager(const TChannelManager&) = delete;
    TChannelManager& operator=(const TChannelManager&) = delete;

    // The channel's name, unique in the system; names the transmit list file.
    virtual std::string GetName() const = 0;
    // Queues a copy of the frame for the send thread. Any thread.
    virtual void SendFrame(const TCanFrame& frame);

    TCanSettings& Settings() { return FSettings; }
    TLogger& Logger() { return FLogger; }
    TCorvexTraceList& TraceList() { return FTraceList; }
    TCorvexTable& FrameTable() { return FFrameTable; }
    TCanSendList& SendList() { return FSendList; }
    TSendQueue& SendQueue() { return FSendQueue; }
    TBusCounters& BusCounters() { return FBusCounters; }

protected:
    // A C++ base cannot ask a derived GetName() while it is being built, so
    // the derived class hands over the same name here. The transmit list is
    // named by it and loaded from its file.
    explicit TChannelManager(const std::string& name);

private:
    // Window, periodic and receive threads push, the send thread takes; its
    // own lock. Declared first so that it outlives the list that feeds it.
    TSendQueue FSendQueue;
    // Window's thread only; read by the adapter while it opens the channel.
    TCanSettings FSettings;
    // Receive thread adds, window's thread drains; guarded by its own lock.
    TLogger FLogger;
    // Receive and send threads add, window's thread reads and clears; its
    // appends are serialised and its count is published atomically.
    TCorvexTraceList FTraceList;
    // Receive thread updates, window's thread requests clear and refresh and
    // copies rows out; every access holds the table's own lock.
    TCorvexTable FFrameTable;
    // Window's thread edits it; the periodic and receive threads sweep it;
    // changes of its length or order and both sweeps hold the list's lock.
    TCanSendList FSendList;
    // Receive and send threads add, the window's thread reads; atomics.
    TBusCounters FBusCounters;
};
