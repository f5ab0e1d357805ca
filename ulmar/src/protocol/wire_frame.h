// Wire frames and frame blocks: a wire frame is the first 21 bytes of a
// VciCanFrame; a 64-byte block carries a count byte and up to 3 of them.
#pragma once

#include "core/library_state.h"
#include "ulmar.h"

#include <cstdint>

namespace ulmar {

constexpr std::uint32_t kBlockSize = 64;
constexpr std::uint32_t kFramesPerBlock = 3;
constexpr std::uint32_t kBlocksPerTransfer = 16;
constexpr std::uint32_t kFramesPerTransfer = kFramesPerBlock * kBlocksPerTransfer;

// Offset of wire frame `i` (0 to 2) within its block.
constexpr std::uint32_t wireFrameOffset(std::uint32_t i) {
    return 1 + kWireFrameSize * i;
}

// A caller's frame as the adapter should send it: time stamp 0, stamp valid 1.
void packTransmitFrame(const VciCanFrame& frame, std::uint8_t* wire);

// A received wire frame as the caller gets it: stamp valid 1, transmit mode
// 0, spare bytes 0.
VciCanFrame unpackReceivedFrame(const std::uint8_t* wire);

std::uint32_t wireCanId(const std::uint8_t* wire);
inline std::uint8_t wireIsExtended(const std::uint8_t* wire) {
    return wire[11];
}

} // namespace ulmar
