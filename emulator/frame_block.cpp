#include "frame_block.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"

namespace emu {

void encodeWireFrame(const CanFrame& frame, std::uint8_t* out) {
    putU32(out, frame.id);
    putU32(out + 4, frame.stampTicks);
    out[8] = 1; // time stamp valid
    out[9] = 0; // transmit mode is meaningless on receive
    out[10] = frame.remote ? 1 : 0;
    out[11] = frame.extended ? 1 : 0;
    out[12] = frame.length;
    std::memcpy(out + 13, frame.data.data(), 8);
}

CanFrame decodeWireFrame(const std::uint8_t* in) {
    CanFrame frame;
    frame.id = getU32(in);
    frame.stampTicks = getU32(in + 4);
    // Transmit modes 2 and 3 ask for self-reception (3 also for a single shot,
    // which makes no difference on an error-free bus).
    frame.selfReception = in[9] == 2 || in[9] == 3;
    frame.remote = in[10] != 0;
    frame.extended = in[11] != 0;
    frame.id &= frame.extended ? 0x1FFFFFFFu : 0x7FFu;
    frame.length = std::min<std::uint8_t>(in[12], 8);
    std::memcpy(frame.data.data(), in + 13, 8);
    return frame;
}

std::vector<CanFrame> decodeBlocks(std::span<const std::uint8_t> bytes) {
    std::vector<CanFrame> frames;
    for (std::size_t at = 0; at + kBlockSize <= bytes.size(); at += kBlockSize) {
        const std::uint8_t* block = bytes.data() + at;
        const std::size_t count = std::min<std::size_t>(block[0], kFramesPerBlock);
        for (std::size_t i = 0; i < count; ++i)
            frames.push_back(decodeWireFrame(block + 1 + i * kWireFrameSize));
    }
    return frames;
}

std::vector<std::uint8_t> encodeBlocks(std::span<const CanFrame> frames, std::size_t blockCount) {
    blockCount = std::max<std::size_t>(blockCount, 1);
    std::vector<std::uint8_t> bytes(blockCount * kBlockSize, 0);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::uint8_t* block = bytes.data() + (i / kFramesPerBlock) * kBlockSize;
        block[0] = static_cast<std::uint8_t>(block[0] + 1);
        encodeWireFrame(frames[i], block + 1 + (i % kFramesPerBlock) * kWireFrameSize);
    }
    return bytes;
}

} // namespace emu
