#pragma once

#include <array>
#include <cstdint>

// One CAN frame as the monitor holds it between the adapter, the receive views
// and the transmit list. A new frame is all zero: an extended data frame with
// identifier 0 and no data. Plain value; one owner at a time.
class TCanFrame {
public:
    std::uint32_t Id = 0;  // 11- or 29-bit identifier, no flag bits
    std::uint32_t Len = 0; // data length code as received; 0..8 when made by the user
    std::array<std::uint8_t, 8> Data{};
    bool IsRemote = false;
    bool IsStandard = false;
    std::uint32_t TimeStamp = 0; // host tick milliseconds
    // Wall-clock microseconds since the Unix epoch, 0.1 ms resolution for a
    // received frame (the adapter's stamp), the host clock for a sent one; 0
    // when nobody set it.
    std::int64_t TimeUs = 0;

    void Assign(const TCanFrame& source);
};
