#pragma once

// Frame blocks: the 64-byte units on the frame pipes. Byte 0 holds the number
// of wire frames (0..3); wire frames of 21 bytes start at bytes 1, 22 and 43.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "can_frame.h"

namespace emu {

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kWireFrameSize = 21;
constexpr std::size_t kFramesPerBlock = 3;

// Writes one wire frame (21 bytes) for a frame delivered to the host.
void encodeWireFrame(const CanFrame& frame, std::uint8_t* out);

// Reads one wire frame. A data length code above 8 is kept as 8 (a classic
// CAN frame never carries more); identifier bits beyond 11 or 29 are dropped.
CanFrame decodeWireFrame(const std::uint8_t* in);

// The frames of the whole blocks in `bytes`, in order. A count byte above 3
// takes 3 frames; trailing bytes that do not make a whole block are ignored.
std::vector<CanFrame> decodeBlocks(std::span<const std::uint8_t> bytes);

// `blockCount` blocks (at least one) holding `frames` three to a block, the
// rest empty blocks with count 0. `frames` must fit.
std::vector<std::uint8_t> encodeBlocks(std::span<const CanFrame> frames, std::size_t blockCount);

} // namespace emu
