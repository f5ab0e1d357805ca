#pragma once

#include <cstdint>

namespace ulmar_tools {

// Waits until the adapter reports the channel's transmit queue empty, so that
// a tool that ends next does not reset frames away before they reach the bus.
// False when it is still not empty after `timeoutMs`.
bool waitUntilSent(std::uint32_t device, std::uint32_t channel, int timeoutMs = 2000);

} // namespace ulmar_tools
