// Frame transfer: transmit batching, the receive block arithmetic with its
// pending ring and filter, and the status queries.
#include "fake_fixture.h"

#include "protocol/pending_ring.h"
#include "protocol/wire_frame.h"

#include <cstring>

using namespace ulmar;
using namespace ulmar::test;

namespace {

std::vector<VciCanFrame> numberedFrames(uint32_t count) {
    std::vector<VciCanFrame> frames(count);
    for (uint32_t i = 0; i < count; ++i) {
        frames[i].canId = 0x100 + i;
        frames[i].length = 1;
        frames[i].payload[0] = static_cast<uint8_t>(i);
        frames[i].stampTicks = 0xAAAA;
    }
    return frames;
}

uint32_t idOfWire(const std::vector<uint8_t>& block, int i) {
    return wordOf(std::vector<uint8_t>(block.begin() + 1 + 21 * i, block.begin() + 5 + 21 * i), 0);
}

} // namespace

class Transmit : public FakeAdapterTest {};

TEST_F(Transmit, FourFramesMakeOneTransferOfTwoBlocks) {
    openDevice();
    const auto frames = numberedFrames(4);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 4), 4);
    ASSERT_EQ(adapter.writes.size(), 1u);
    EXPECT_EQ(adapter.writes[0].pipe, kFrameOut0);
    EXPECT_EQ(adapter.writes[0].bytes.size(), 128u);
    const auto blocks = adapter.writtenBlocks(kFrameOut0);
    EXPECT_EQ(blocks[0][0], 3);
    EXPECT_EQ(blocks[1][0], 1);
    EXPECT_EQ(idOfWire(blocks[1], 0), 0x103u);
    for (size_t i = 22; i < 64; ++i)
        EXPECT_EQ(blocks[1][i], 0) << "unused bytes of a block are zero";
}

TEST_F(Transmit, FortyEightAndFortyNineFrames) {
    openDevice();
    const auto frames = numberedFrames(49);
    EXPECT_EQ(VCI_Transmit(4, 0, 1, frames.data(), 48), 48);
    ASSERT_EQ(adapter.writes.size(), 1u) << "a multiple of 48 writes no empty batch";
    EXPECT_EQ(adapter.writes[0].pipe, kFrameOut1);
    EXPECT_EQ(adapter.writes[0].bytes.size(), 1024u);

    adapter.writes.clear();
    EXPECT_EQ(VCI_Transmit(4, 0, 1, frames.data(), 49), 49);
    ASSERT_EQ(adapter.writes.size(), 2u);
    EXPECT_EQ(adapter.writes[1].bytes.size(), 64u);
    const auto blocks = adapter.writtenBlocks(kFrameOut1);
    EXPECT_EQ(blocks[16][0], 1);
    EXPECT_EQ(idOfWire(blocks[16], 0), 0x100u + 48);
}

TEST_F(Transmit, FramesArriveInOrderWithCallerFields) {
    openDevice();
    const auto frames = numberedFrames(96);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 96), 96);
    EXPECT_EQ(adapter.writes.size(), 2u);
    const auto blocks = adapter.writtenBlocks(kFrameOut0);
    ASSERT_EQ(blocks.size(), 32u);
    for (int b = 0; b < 32; ++b) {
        for (int i = 0; i < 3; ++i) {
            const uint32_t n = static_cast<uint32_t>(3 * b + i);
            EXPECT_EQ(idOfWire(blocks[static_cast<size_t>(b)], i), 0x100 + n);
            EXPECT_EQ(blocks[static_cast<size_t>(b)][static_cast<size_t>(1 + 21 * i + 13)],
                      n & 0xFF);
            EXPECT_EQ(blocks[static_cast<size_t>(b)][static_cast<size_t>(1 + 21 * i + 4)], 0)
                << "stamp";
            EXPECT_EQ(blocks[static_cast<size_t>(b)][static_cast<size_t>(1 + 21 * i + 8)], 1)
                << "valid";
        }
    }
}

TEST_F(Transmit, FailedWriteStopsAndCountsEarlierBatches) {
    openDevice();
    const auto frames = numberedFrames(100);
    adapter.writeResults = {1, 0};
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 100), 48);
    EXPECT_EQ(adapter.writes.size(), 2u) << "the third batch is not attempted";
    adapter.writeResults = {0};
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 100), 0);
    EXPECT_EQ(VCI_Transmit(4, 0, 0, frames.data(), 0), 0);
}

class Receive : public FakeAdapterTest {
protected:
    VciCanFrame out[64]{};
};

TEST_F(Receive, FullCapacityReadsSixteenBlocksThenOneMore) {
    openDevice();
    adapter.readScript[kFrameIn0] = {{true, fullBlocks(16, 0)}, {true, fullBlocks(1, 48)}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 48, 0), 48);
    ASSERT_EQ(adapter.reads.size(), 2u);
    EXPECT_EQ(adapter.reads[0].length, 1024u);
    EXPECT_EQ(adapter.reads[0].timeoutMs, 100u);
    EXPECT_EQ(adapter.reads[1].length, 64u);
    for (uint32_t i = 0; i < 48; ++i) {
        EXPECT_EQ(out[i].canId, i);
        EXPECT_EQ(out[i].stampValid, 1);
        EXPECT_EQ(out[i].transmitMode, 0);
        EXPECT_EQ(out[i].stampTicks, 0x10u);
    }
    EXPECT_EQ(pendingCount(channelState(0).pendingRing), 3);
}

TEST_F(Receive, TwoShortBlocksEndTheCall) {
    openDevice();
    std::vector<uint8_t> bytes = fullBlocks(14, 0);
    for (int i = 0; i < 2; ++i) {
        const auto block = frameBlock(1, {wireFrame(0x500 + i)});
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    adapter.readScript[kFrameIn0] = {{true, bytes}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 48, 0), 44);
    EXPECT_EQ(adapter.reads.size(), 1u);
    EXPECT_EQ(out[43].canId, 0x501u);
}

TEST_F(Receive, OneShortBlockReadsOneMoreBlock) {
    openDevice();
    std::vector<uint8_t> bytes = fullBlocks(15, 0);
    const auto empty = frameBlock(0, {});
    bytes.insert(bytes.end(), empty.begin(), empty.end());
    adapter.readScript[kFrameIn0] = {{true, bytes}, {true, frameBlock(0, {})}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 48, 0), 45);
    EXPECT_EQ(adapter.reads.size(), 2u);
}

TEST_F(Receive, HugeCapacityAsksForFullTransfers) {
    openDevice();
    std::vector<uint8_t> bytes = frameBlock(1, {wireFrame(0x42)});
    const auto empty = frameBlock(0, {});
    bytes.insert(bytes.end(), empty.begin(), empty.end());
    adapter.readScript[kFrameIn0] = {{true, bytes}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 0xFFFFFFFF, 0), 1);
    ASSERT_EQ(adapter.reads.size(), 1u);
    EXPECT_EQ(adapter.reads[0].length, 1024u);
}

TEST_F(Receive, CapacityOneKeepsTheRestInTheRing) {
    openDevice();
    adapter.readScript[kFrameIn0] = {{true, fullBlocks(2, 0x10)}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 1, 0), 1);
    ASSERT_EQ(adapter.reads.size(), 1u);
    EXPECT_EQ(adapter.reads[0].length, 128u) << "w = 2 blocks";
    EXPECT_EQ(out[0].canId, 0x10u);
    EXPECT_EQ(pendingCount(channelState(0).pendingRing), 5);

    adapter.readScript[kReplyIn0] = {{true, replyWords({0, 7})}};
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 0), 12) << "adapter count plus ring";

    for (uint32_t id = 0x11; id <= 0x15; ++id) {
        EXPECT_EQ(VCI_Receive(4, 0, 0, out, 1, 0), 1);
        EXPECT_EQ(out[0].canId, id);
        EXPECT_EQ(out[0].stampValid, 1);
    }
    EXPECT_EQ(adapter.reads.size(), 2u) << "ring frames need no USB traffic";
}

TEST_F(Receive, RingFramesComeFirstThenTheAdapter) {
    openDevice();
    adapter.readScript[kFrameIn0] = {{true, fullBlocks(2, 0x10)}, {true, fullBlocks(3, 0x40)}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 1, 0), 1);
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 8, 0), 8);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(out[i].canId, 0x11 + i);
    for (uint32_t i = 5; i < 8; ++i)
        EXPECT_EQ(out[i].canId, 0x40 + i - 5);
    EXPECT_EQ(adapter.reads[1].length, 128u) << "w = (8 - 5 + 2) / 3 + 1";
    EXPECT_EQ(pendingCount(channelState(0).pendingRing), 3);
}

TEST_F(Receive, RingWrapsAroundItsTenEntries) {
    PendingRing& ring = channelState(1).pendingRing;
    const auto wire = wireFrame(0x77);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(pushPending(ring, wire.data()));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(wireCanId(popPending(ring).data()), 0x77u);
    }
    EXPECT_EQ(ring.writePos, 6);
    EXPECT_EQ(ring.readPos, 6);
    EXPECT_EQ(ring.wrapped, 0);
    for (int i = 0; i < kRingSize; ++i)
        ASSERT_TRUE(pushPending(ring, wire.data()));
    EXPECT_FALSE(pushPending(ring, wire.data())) << "a full ring refuses";
    EXPECT_EQ(ring.wrapped, 1);
}

TEST_F(Receive, CountByteAboveThreeTakesThreeFramesAndCountsNoShortBlock) {
    openDevice();
    auto bad = frameBlock(0xFF, {wireFrame(1), wireFrame(2), wireFrame(3)});
    adapter.readScript[kFrameIn0] = {{true, bad}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 3, 0), 3);
    EXPECT_EQ(out[2].canId, 3u);
    EXPECT_EQ(pendingCount(channelState(0).pendingRing), 0);
}

TEST_F(Receive, ShortTransferTakesOnlyWholeBlocksReceived) {
    openDevice();
    std::vector<uint8_t> bytes = fullBlocks(2, 0x20);
    bytes.resize(64 + 30); // the second block is cut short
    adapter.readScript[kFrameIn0] = {{true, bytes}, {true, {}}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 6, 0), 3);
    EXPECT_EQ(out[2].canId, 0x22u);
    EXPECT_EQ(adapter.reads.size(), 1u) << "w = 3 blocks, one read";
}

TEST_F(Receive, BlocksThatDidNotArriveCountAsShort) {
    openDevice();
    // Capacity 48 asks for 16 blocks; an answer of one full block ends the call.
    adapter.readScript[kFrameIn0] = {{true, fullBlocks(1, 0)}, {true, {}}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 48, 0), 3);
    EXPECT_EQ(adapter.reads.size(), 1u);
    // A transfer that brings no bytes ends even a call of huge capacity.
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 0xFFFFFFFF, 0), 0);
    EXPECT_EQ(adapter.reads.size(), 2u);
}

TEST_F(Receive, FailedReadKeepsFramesAlreadyStored) {
    openDevice();
    adapter.readScript[kFrameIn0] = {{true, fullBlocks(15, 0)}, {false, {}}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 48, 0), 45) << "the second read of the call fails";
    adapter.readScript[kFrameIn0] = {
        {true, fullBlocks(16, 0)}, {true, fullBlocks(1, 48)}, {false, {}}};
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 48, 0), 48);
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 10, 0), 3) << "three ring frames, then the read fails";
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 10, 0), -1) << "nothing stored and the read fails";
}

TEST_F(Receive, FilterKeepsMatchingFramesOnce) {
    openDevice(20);
    const VciFilterEntry entry{0, 0x100, 0x1FF};
    const VciFilterEntry overlapping{0, 0x120, 0x130};
    ASSERT_EQ(VCI_SetReference(20, 0, 0, 1, &entry), 1);
    ASSERT_EQ(VCI_SetReference(20, 0, 0, 1, &overlapping), 1);
    ASSERT_EQ(VCI_SetReference(20, 0, 0, 2, nullptr), 1);
    adapter.readScript[kFrameIn0] = {
        {true, frameBlock(3, {wireFrame(0x123), wireFrame(0x200), wireFrame(0x123, true)})}};
    // Types 3 and 4 on the same channel number see the same filter.
    EXPECT_EQ(VCI_Receive(4, 0, 0, out, 10, 0), 1);
    EXPECT_EQ(out[0].canId, 0x123u);
    EXPECT_EQ(out[0].isExtended, 0);
}

TEST_F(Receive, FilterOnWithoutEntriesPassesNothing) {
    openDevice(20);
    ASSERT_EQ(VCI_SetReference(20, 0, 1, 2, nullptr), 1);
    adapter.readScript[kFrameIn1] = {{true, fullBlocks(1, 0)}};
    EXPECT_EQ(VCI_Receive(20, 0, 1, out, 10, 0), 0);
}

TEST_F(Receive, FilterAppliesToFramesGoingToTheRing) {
    openDevice(20);
    const VciFilterEntry odd{0, 0x11, 0x11};
    const VciFilterEntry late{0, 0x14, 0x15};
    ASSERT_EQ(VCI_SetReference(20, 0, 0, 1, &odd), 1);
    ASSERT_EQ(VCI_SetReference(20, 0, 0, 1, &late), 1);
    ASSERT_EQ(VCI_SetReference(20, 0, 0, 2, nullptr), 1);
    adapter.readScript[kFrameIn0] = {{true, fullBlocks(2, 0x10)}};
    EXPECT_EQ(VCI_Receive(20, 0, 0, out, 1, 0), 1);
    EXPECT_EQ(out[0].canId, 0x11u);
    EXPECT_EQ(pendingCount(channelState(0).pendingRing), 2);
}

class ChannelStatus : public FakeAdapterTest {};

TEST_F(ChannelStatus, ReadCanStatusMapsModeBits) {
    openDevice();
    struct Case {
        uint32_t word2;
        uint8_t modeBits;
    };
    const Case cases[] = {{0x00000, 0}, {0x10000, 8},  {0x00100, 4},    {0x10100, 12},
                          {0x00200, 2}, {0x10200, 10}, {0x003AB, 0xAB}, {0x1FFCD, 0xCD}};
    for (const Case& c : cases) {
        adapter.readScript[kReplyIn0].push_back(
            {true,
             replyWords({0, 0x1F5, c.word2, 0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x1E7})});
        VciCanStatus status{};
        ASSERT_EQ(VCI_ReadCANStatus(4, 0, 0, &status), 1);
        EXPECT_EQ(status.modeBits, c.modeBits) << std::hex << c.word2;
        EXPECT_EQ(status.statusCode, 0xF5);
        EXPECT_EQ(status.registerImage[0], 1);
        EXPECT_EQ(status.registerImage[5], 6);
        EXPECT_EQ(status.extra, 0xE7u);
    }
    EXPECT_EQ(wordOf(packetsTo(kCommandOut0)[0], 0), 11u);
    adapter.readScript[kReplyIn0] = {{true, {1, 2}}};
    VciCanStatus status{};
    EXPECT_EQ(VCI_ReadCANStatus(4, 0, 0, &status), 0) << "short reply";
    EXPECT_EQ(VCI_ReadCANStatus(4, 0, 0, &status), 0) << "read times out";
}

TEST_F(ChannelStatus, ReceiveNumResults) {
    openDevice();
    adapter.readScript[kReplyIn0] = {{true, replyWords({0, 9})}, {true, {1}}};
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 0), 9);
    EXPECT_EQ(wordOf(packetsTo(kCommandOut0)[0], 0), 10u);
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 0), 0) << "short reply";
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 0), -1) << "read times out";
    adapter.writeResults = {0};
    EXPECT_EQ(VCI_GetReceiveNum(4, 0, 0), -1) << "write fails";
}

TEST_F(ChannelStatus, ReadErrInfoIsAlwaysZero) {
    VciErrorInfo info;
    std::memset(&info, 0xFF, sizeof info);
    EXPECT_EQ(VCI_ReadErrInfo(4, 0, 1, &info), 1);
    EXPECT_EQ(info.errorCode, 0u);
    EXPECT_EQ(info.errorDetail[0] | info.errorDetail[1] | info.errorDetail[2] | info.errorDetail[3],
              0);
    EXPECT_EQ(adapter.traffic(), 0);
}
