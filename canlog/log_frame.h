#pragma once

// One classic CAN frame as a log file holds it.

#include <array>
#include <cstdint>

namespace canlog {

struct LogFrame {
    // Microseconds since the Unix epoch; since the start of the measurement for
    // an ASC file whose start date could not be read.
    std::int64_t timeUs = 0;
    std::uint8_t channel = 0; // 0-based: "can0", ASC channel 1, CSV channel 0
    bool tx = false;          // sent by the logging host rather than received
    bool extended = false;    // 29-bit identifier
    bool remote = false;
    std::uint8_t length = 0; // 0..8; a remote frame's requested length
    std::uint32_t id = 0;
    std::array<std::uint8_t, 8> data{}; // bytes past `length` are zero

    bool operator==(const LogFrame&) const = default;
};

} // namespace canlog
