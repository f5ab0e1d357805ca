#include "bit_timing.h"

namespace emu {

BitTiming decodeBitTiming(std::uint8_t btr0, std::uint8_t btr1) {
    const std::uint32_t prescaler = (btr0 & 0x3Fu) + 1;
    const std::uint32_t segment1 = (btr1 & 0x0Fu) + 1;
    const std::uint32_t segment2 = ((btr1 >> 4) & 0x07u) + 1;
    return BitTiming{prescaler * (1 + segment1 + segment2)};
}

std::uint32_t frameBitCount(const CanFrame& frame) {
    const std::uint32_t dataBits = frame.remote ? 0 : 8u * (frame.length > 8 ? 8 : frame.length);
    // Stuffable region (SOF to CRC): 34 bits for standard, 54 for extended
    // frames, plus the data. Worst case one stuff bit after the first five
    // bits and then one every four.
    const std::uint32_t fixedBits = frame.extended ? 67 : 47;
    const std::uint32_t stuffable = (frame.extended ? 54 : 34) + dataBits;
    return fixedBits + dataBits + (stuffable - 1) / 4;
}

std::chrono::nanoseconds frameDuration(const CanFrame& frame, BitTiming timing) {
    if (!timing.valid())
        return std::chrono::nanoseconds(0);
    const std::uint64_t clocks = std::uint64_t(frameBitCount(frame)) * timing.clocksPerBit;
    return std::chrono::nanoseconds(clocks * 1'000'000'000ull / kQuantumClockHz);
}

} // namespace emu
