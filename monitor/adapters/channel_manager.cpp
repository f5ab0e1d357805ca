#include "adapters/channel_manager.h"

#include "platform/debug_output.h"

TChannelManager::TChannelManager(const std::string& name) {
    FSendList.Name = name;
    // An unreadable file must not stop the program: the items read so far
    // stay and the failure goes into the channel's log.
    if (!FSendList.Load()) {
        FLogger.Add(FSendList.LastError());
    }
    FSendList.SetOnSend([this](const TCanFrame& frame) { SendFrame(frame); });
}

TChannelManager::~TChannelManager() {
    // Saved even when nothing changed. A failure must not take the program
    // down at exit; the log dies with the channel, so the failure also goes
    // to the debugger output.
    if (!FSendList.Save()) {
        FLogger.Add(FSendList.LastError());
        platform::DebugOutput(FSendList.LastError());
    }
}

void TChannelManager::SendFrame(const TCanFrame& frame) {
    FSendQueue.Push(frame);
}
