#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transmit/send_item.h"

// A channel's transmit list: the user's items in the user's order, their file
// "trans_list_<Name>.dat" in the monitor's settings folder, and the periodic
// and on-request sweeps.
//
// Shared: the window's thread edits the list and its items; the periodic
// send thread runs SendPeriodic and the receive thread SendOnRequest. Every
// change of the list's length or order (Add, Delete, MoveUp, MoveDown, the
// appends of Load) and both sweeps hold FLock, so a sweep never sees the list
// change under it; the lock is held only for the change or the sweep itself,
// never while reading the file or waiting for anything. Count and Items read
// without the lock and belong to the window's thread, the only one that
// changes the list. Handlers raised during a sweep (OnSend, OnCountChanged)
// run under FLock and must not block or call back into the list.
class TCanSendList {
public:
    TCanSendList();
    // Saves to the file (when the list has a Name), then frees the items.
    ~TCanSendList();
    TCanSendList(const TCanSendList&) = delete;
    TCanSendList& operator=(const TCanSendList&) = delete;

    // Takes ownership, appends, and gives the item the list's send handler.
    void Add(std::unique_ptr<TCanSendItem> item);
    // Removes and frees the item; false (and nothing changes) outside the list.
    bool Delete(int index);
    int Count() const { return static_cast<int>(FItems.size()); }
    TCanSendItem* Items(int index) const;
    bool MoveDown(int index);
    bool MoveUp(int index);

    // The list's lock, for the window's in-place edits of an item's fields.
    // Hold it briefly and never across a dialog or any other wait.
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(FLock); }

    // Folder that holds the list's file, with its trailing separator; the
    // monitor's settings folder unless changed (tests use their own folder).
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(const std::string& directory) { FDirectory = directory; }
    std::string GetFileName() const;

    // Appends the items of the file. A missing file is an empty list. False
    // when the file cannot be read; the items read before the failure stay
    // and LastError() tells what failed. Rejected lines are skipped silently.
    bool Load();
    // Writes every item as one line to a new file beside the list's file and
    // renames it over the old one, so a failure never leaves a truncated list.
    // False (with LastError()) when the file cannot be written; the old file
    // then stays as it was. After a Load that could not read the file, Save
    // refuses too: the list holds at most part of that file, and writing it
    // would destroy the rest.
    bool Save();
    const std::string& LastError() const { return FLastError; }

    // The periodic sweep at host tick `now`: every enabled periodic item whose
    // period has passed since its last send goes out.
    void SendPeriodic(std::uint32_t now);
    // The on-request sweep: every enabled on-request item goes out.
    void SendOnRequest();

    void ResetCounters();
    void SetStandard(bool isStandard);
    void SetOnSend(TCanSendEvent handler);

    std::string Name;
    bool IsStandard = false;

private:
    std::vector<std::unique_ptr<TCanSendItem>> FItems; // changed under FLock
    TCanSendEvent FOnSend;                             // changed under FLock
    std::mutex FLock;
    std::string FDirectory;
    std::string FLastError;
    bool FFileUnread = false; // the file exists but Load could not read all of it
};
