#pragma once

#include <cstdint>

// Frame format for transmitting on a channel; the list position of the user's
// choice ("Standard", "Extended") equals the value.
enum class TCanMode : std::uint8_t { Standard = 0, Extended = 1 };

// Bus settings of one channel. Rate is 0 until the settings are loaded.
class TCanSettings {
public:
    std::int32_t Rate = 0; // bit/s
    TCanMode Mode = TCanMode::Standard;
};
