#include "transmit_wait.h"

#include <chrono>
#include <thread>

#include "adapter_session.h"
#include "ulmar.h"

namespace ulmar_tools {

// Status register bit: transmission complete, nothing left to send.
constexpr std::uint8_t kTransmitDone = 0x08;

bool waitUntilSent(std::uint32_t device, std::uint32_t channel, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        VciCanStatus status{};
        if (VCI_ReadCANStatus(kDeviceType, device, channel, &status) == 1 &&
            (status.statusCode & kTransmitDone) != 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace ulmar_tools
