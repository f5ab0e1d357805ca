// Receiving frames: waiting frames from the pending ring first, then reads
// of up to 16 blocks from the adapter until the caller's array is full or
// the adapter has run dry.
#include "core/argument_check.h"
#include "protocol/acceptance_filter.h"
#include "protocol/pending_ring.h"
#include "protocol/wire_frame.h"
#include "transport/transport.h"

#include <algorithm>
#include <array>

using namespace ulmar;

namespace {

constexpr uint32_t kFrameReadTimeoutMs = 100;

// One call's progress; frames beyond the caller's capacity go to the ring.
struct ReceiveCall {
    ChannelState& channel;
    VciCanFrame* frames;
    uint32_t capacity;
    uint32_t stored = 0;
    uint32_t shortBlocks = 0;

    void takeWireFrame(const uint8_t* wire) {
        if (!passesFilter(channel, wire))
            return;
        if (stored < capacity)
            frames[stored++] = unpackReceivedFrame(wire);
        else
            pushPending(channel.pendingRing, wire);
    }

    // Only whole blocks that arrived are read, and never more than 3 frames
    // of a block, whatever its count byte claims. A block that did not
    // arrive brought no frames, so it counts as short: an adapter answering
    // with a few blocks (or none) ends the call instead of being asked again
    // until a large capacity is used up.
    void takeBlocks(const uint8_t* data, uint32_t blocksAsked, uint32_t bytesReceived) {
        const uint32_t blocks = std::min(blocksAsked, bytesReceived / kBlockSize);
        shortBlocks += blocksAsked - blocks;
        for (uint32_t b = 0; b < blocks; ++b) {
            const uint8_t* block = data + b * kBlockSize;
            if (block[0] < kFramesPerBlock)
                ++shortBlocks;
            const uint32_t inBlock = std::min<uint32_t>(block[0], kFramesPerBlock);
            for (uint32_t i = 0; i < inBlock; ++i)
                takeWireFrame(block + wireFrameOffset(i));
        }
    }
};

// A failed read ends the call; frames already stored in this call are still
// handed over, so the caller does not lose them.
int32_t failedRead(const ReceiveCall& call) {
    return call.stored > 0 ? static_cast<int32_t>(call.stored) : -1;
}

} // namespace

int32_t VCI_API VCI_Receive(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                            VciCanFrame* frames, uint32_t capacity, int32_t) {
    if (!checkChannel(deviceType, deviceIndex, channel) || capacity == 0 || frames == nullptr)
        return 0;
    const int device = deviceOf(deviceIndex);
    ReceiveCall call{channelState(channel), frames, capacity};
    PendingRing& ring = call.channel.pendingRing;

    const uint32_t waiting = std::min<uint32_t>(capacity, pendingCount(ring));
    while (call.stored < waiting)
        frames[call.stored++] = unpackReceivedFrame(popPending(ring).data());
    if (call.stored == capacity)
        return static_cast<int32_t>(call.stored);

    // One block more than the remaining capacity needs (64-bit, so that a
    // capacity near 2^32 cannot wrap).
    uint64_t blocksWanted = (uint64_t{capacity} - call.stored + 2) / kFramesPerBlock + 1;
    std::array<uint8_t, kBlockSize * kBlocksPerTransfer> buffer;
    for (;;) {
        const int32_t pipe = deviceEntry(device).slots[frameInSlot(channel)];
        if (pipe == kNoPipe)
            return failedRead(call);
        const auto blocks =
            static_cast<uint32_t>(std::min<uint64_t>(blocksWanted, kBlocksPerTransfer));
        blocksWanted -= blocks;
        uint32_t received = 0;
        if (ReadPipe(device, pipe, buffer.data(), blocks * kBlockSize, kFrameReadTimeoutMs,
                     &received) != 1)
            return failedRead(call);
        call.takeBlocks(buffer.data(), blocks, received);
        // Two blocks with fewer than 3 frames: the adapter has no more.
        if (call.shortBlocks >= 2 || blocksWanted == 0)
            return static_cast<int32_t>(call.stored);
    }
}
