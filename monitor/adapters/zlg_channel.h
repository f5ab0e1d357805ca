#pragma once

#include <memory>
#include <string>

#include "adapters/channel_manager.h"
#include "adapters/zlg_thread_read.h"
#include "adapters/zlg_thread_send.h"
#include "adapters/zlg_thread_status.h"

// One channel of the ZLG adapter. Its threads exist only while it is open.
// Opened, closed and queried on the window's thread only (by TZlgManager).
class TZlgChannel final : public TChannelManager {
public:
    explicit TZlgChannel(int index);

    // "zlg_ch" followed by the channel index.
    static std::string NameOf(int index);
    std::string GetName() const override { return NameOf(FIndex); }

    // Discards every frame waiting in the send queue.
    void ClearSendQueue() { SendQueue().Clear(); }

private:
    friend class TZlgManager;

    const int FIndex;
    bool FOpened = false;
    std::unique_ptr<TZlgThreadRead> FReadThread;
    std::unique_ptr<TZlgThreadSend> FSendThread;
    std::unique_ptr<TZlgThreadStatus> FStatusThread;
};
