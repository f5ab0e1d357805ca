#pragma once

// One classic CAN frame as it travels on a simulated bus.

#include <array>
#include <cstdint>

namespace emu {

struct CanFrame {
    std::uint32_t id = 0; // right-aligned, 11 or 29 bits
    bool extended = false;
    bool remote = false;
    std::uint8_t length = 0; // data length code, 0..8
    std::array<std::uint8_t, 8> data{};
    std::uint32_t stampTicks = 0; // 0.1 ms since the emulator started; set on delivery
    bool selfReception = false;   // the sending channel receives it too

    bool operator==(const CanFrame&) const = default;
};

} // namespace emu
