#include "protocol/wire_frame.h"

#include <cstring>

namespace ulmar {

void packTransmitFrame(const VciCanFrame& frame, std::uint8_t* wire) {
    std::memcpy(wire, &frame, kWireFrameSize);
    std::memset(wire + 4, 0, 4);
    wire[8] = 1;
}

VciCanFrame unpackReceivedFrame(const std::uint8_t* wire) {
    VciCanFrame frame{};
    std::memcpy(&frame, wire, kWireFrameSize);
    frame.stampValid = 1;
    frame.transmitMode = 0;
    return frame;
}

std::uint32_t wireCanId(const std::uint8_t* wire) {
    return static_cast<std::uint32_t>(wire[0]) | static_cast<std::uint32_t>(wire[1]) << 8 |
           static_cast<std::uint32_t>(wire[2]) << 16 | static_cast<std::uint32_t>(wire[3]) << 24;
}

} // namespace ulmar
