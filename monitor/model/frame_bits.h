#pragma once

#include <cstdint>

class TCanFrame;

// Bits a frame occupies on the bus, from start of frame to the end of the
// 3-bit intermission, counting the most stuff bits the frame can need. The
// worst case is what bus-load meters usually count and what the virtual
// adapter paces its frames by, so the two agree on a load figure.
std::uint32_t FrameBitCount(const TCanFrame& frame);
