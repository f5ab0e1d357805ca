// Sending frames: batches of up to 48 frames, each one transfer of up to 16
// blocks of 3 wire frames.
#include "core/argument_check.h"
#include "protocol/wire_frame.h"
#include "transport/transport.h"

#include <algorithm>
#include <array>

using namespace ulmar;

namespace {

// Fills the blocks of one batch from frames[taken..count); returns the
// number of blocks and advances `taken`.
uint32_t fillBatch(const VciCanFrame* frames, uint32_t count, uint32_t& taken,
                   std::array<uint8_t, kBlockSize * kBlocksPerTransfer>& buffer) {
    buffer.fill(0);
    uint32_t blocks = 0;
    while (blocks < kBlocksPerTransfer && taken < count) {
        uint8_t* block = buffer.data() + blocks * kBlockSize;
        const uint32_t inBlock = std::min(kFramesPerBlock, count - taken);
        block[0] = static_cast<uint8_t>(inBlock);
        for (uint32_t i = 0; i < inBlock; ++i)
            packTransmitFrame(frames[taken + i], block + wireFrameOffset(i));
        taken += inBlock;
        ++blocks;
    }
    return blocks;
}

} // namespace

int32_t VCI_API VCI_Transmit(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                             const VciCanFrame* frames, uint32_t count) {
    if (!checkChannel(deviceType, deviceIndex, channel) || count == 0 || frames == nullptr)
        return 0;
    const int device = deviceOf(deviceIndex);
    // One batch more than count / 48; when count is a multiple of 48 the
    // last batch is empty and writes nothing.
    const uint32_t batches = count / kFramesPerTransfer + 1;
    std::array<uint8_t, kBlockSize * kBlocksPerTransfer> buffer;
    uint32_t taken = 0;
    uint32_t sent = 0;
    for (uint32_t batch = 0; batch < batches; ++batch) {
        const uint32_t blocks = fillBatch(frames, count, taken, buffer);
        if (blocks == 0)
            break;
        const int32_t pipe = deviceEntry(device).slots[frameOutSlot(channel)];
        if (pipe == kNoPipe)
            return -1;
        uint32_t written = 0;
        if (WritePipe(device, pipe, buffer.data(), blocks * kBlockSize, &written) != 1)
            return static_cast<int32_t>(sent);
        sent = taken;
    }
    return static_cast<int32_t>(count);
}
