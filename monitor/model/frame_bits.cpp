#include "model/frame_bits.h"

#include <algorithm>

#include "model/can_frame.h"

std::uint32_t FrameBitCount(const TCanFrame& frame) {
    const std::uint32_t dataBits = frame.IsRemote ? 0 : 8 * std::min<std::uint32_t>(frame.Len, 8);
    // Start of frame to the end of the CRC is stuffed: 34 bits of a standard
    // frame's header and CRC, 54 of an extended one's, plus the data. After
    // the first five bits at most one stuff bit in every four.
    const std::uint32_t stuffed = (frame.IsStandard ? 34 : 54) + dataBits;
    // CRC delimiter, acknowledge slot and delimiter, end of frame, intermission.
    constexpr std::uint32_t Trailer = 13;
    return stuffed + (stuffed - 1) / 4 + Trailer;
}
