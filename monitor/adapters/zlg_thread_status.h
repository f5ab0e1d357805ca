#pragma once

#include <cstdint>
#include <mutex>

#include "adapters/controller_status.h"
#include "adapters/zlg_thread_custom.h"

// Status thread of an open channel: asks the adapter for the controller's
// status a few times a second, apart from the receive thread so that a slow
// answer never delays a frame, and keeps the latest answer for the window.
class TZlgThreadStatus final : public TZlgThreadCustom {
public:
    using TZlgThreadCustom::TZlgThreadCustom;
    ~TZlgThreadStatus() override;

    static constexpr uint32_t PollIntervalMs = 250;
    // The loop looks at its stop request this often while it waits.
    static constexpr uint32_t StopCheckMs = 10;

    // The latest status; not Valid until the adapter answered once. Any thread.
    TControllerStatus Latest() const;

protected:
    void Execute() override;

private:
    void Poll();

    // Status thread only.
    TControllerStatusReader FReader;
    // Status thread writes, the window's thread reads; guarded by FLock.
    mutable std::mutex FLock;
    TControllerStatus FLatest;
};
