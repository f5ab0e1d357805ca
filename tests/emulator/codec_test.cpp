#include <gtest/gtest.h>

#include "byte_order.h"
#include "command_packet.h"
#include "descriptors.h"
#include "fault_plan.h"
#include "frame_block.h"

namespace emu {
namespace {

std::vector<std::uint8_t> hostBlock(std::uint8_t count, const std::vector<CanFrame>& frames) {
    std::vector<std::uint8_t> block(kBlockSize, 0);
    block[0] = count;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::uint8_t* w = block.data() + 1 + i * kWireFrameSize;
        putU32(w, frames[i].id);
        w[8] = 1;
        w[10] = frames[i].remote;
        w[11] = frames[i].extended;
        w[12] = frames[i].length;
        std::copy(frames[i].data.begin(), frames[i].data.end(), w + 13);
    }
    return block;
}

CanFrame dataFrame(std::uint32_t id, std::uint8_t fill, bool extended = false) {
    CanFrame f;
    f.id = id;
    f.extended = extended;
    f.length = 8;
    f.data.fill(fill);
    return f;
}

TEST(FrameBlock, DecodesHostBlocksInOrder) {
    const std::vector<CanFrame> first{dataFrame(0x100, 1), dataFrame(0x101, 2),
                                      dataFrame(0x102, 3)};
    auto bytes = hostBlock(3, first);
    const auto second = hostBlock(1, {dataFrame(0x1234567, 4, true)});
    bytes.insert(bytes.end(), second.begin(), second.end());
    const auto frames = decodeBlocks(bytes);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0], first[0]);
    EXPECT_EQ(frames[2], first[2]);
    EXPECT_EQ(frames[3].id, 0x1234567u);
    EXPECT_TRUE(frames[3].extended);
}

TEST(FrameBlock, CountAboveThreeTakesThreeAndPartialBlocksAreIgnored) {
    const std::vector<CanFrame> three{dataFrame(1, 1), dataFrame(2, 2), dataFrame(3, 3)};
    auto bytes = hostBlock(0xC8, three);
    bytes.resize(kBlockSize + 30, 0x03); // a trailing piece of a block
    EXPECT_EQ(decodeBlocks(bytes).size(), 3u);
}

TEST(FrameBlock, ClampsLengthAndIdentifier) {
    CanFrame f = dataFrame(0xFFFFF800, 9); // bits above 11 set, standard frame
    f.length = 15;
    const auto frames = decodeBlocks(hostBlock(1, {f}));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].length, 8);
    EXPECT_EQ(frames[0].id, 0x000u);
}

TEST(FrameBlock, EncodesThreeToABlockAndPadsWithEmptyBlocks) {
    std::vector<CanFrame> frames;
    for (std::uint32_t i = 0; i < 4; ++i) {
        frames.push_back(dataFrame(0x200 + i, static_cast<std::uint8_t>(i)));
        frames.back().stampTicks = 1000 + i;
    }
    const auto bytes = encodeBlocks(frames, 16);
    ASSERT_EQ(bytes.size(), 16 * kBlockSize);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[64], 1);
    EXPECT_EQ(bytes[128], 0);
    const std::uint8_t* w = bytes.data() + 1 + 2 * kWireFrameSize;
    EXPECT_EQ(getU32(w), 0x202u);
    EXPECT_EQ(getU32(w + 4), 1002u);
    EXPECT_EQ(w[8], 1); // time stamp valid
    EXPECT_EQ(w[9], 0); // transmit mode
    EXPECT_EQ(w[12], 8);
    EXPECT_EQ(w[13], 2);
    // Bytes after the last frame of a block stay zero.
    for (std::size_t i = 64 + 1 + kWireFrameSize; i < 128; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

TEST(CommandPacket, SplitsWritesIntoPacketsAndZeroPadsTheTail) {
    std::vector<std::uint8_t> bytes(64 + 8, 0);
    putU32(bytes.data(), 1);
    putU32(bytes.data() + 24, 0x1C);
    putU32(bytes.data() + 64, 11);
    putU32(bytes.data() + 68, 0xABCDEF01);
    const auto packets = splitCommands(bytes);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].opcode(), 1u);
    EXPECT_EQ(packets[0][6], 0x1Cu);
    EXPECT_EQ(packets[1].opcode(), 11u);
    EXPECT_EQ(packets[1][1], 0xABCDEF01u);
    EXPECT_EQ(packets[1][2], 0u);
}

TEST(Descriptors, DeviceDescriptorCarriesIdsAndRelease) {
    AdapterIdentity id;
    id.release = 0x0312;
    const auto d = deviceDescriptor(id);
    ASSERT_EQ(d.size(), 18u);
    EXPECT_EQ(d[0], 18);
    EXPECT_EQ(d[1], 1);
    EXPECT_EQ(getU16(&d[8]), 0x04D8);
    EXPECT_EQ(getU16(&d[10]), 0x0053);
    EXPECT_EQ(d[12], 0x12);
    EXPECT_EQ(d[13], 0x03);
    EXPECT_EQ(d[15], kStringProduct);
    EXPECT_EQ(d[16], kStringSerial);
}

std::string decodeString(const std::vector<std::uint8_t>& d) {
    std::string text;
    for (std::size_t i = 2; i + 1 < d.size(); i += 2)
        text.push_back(static_cast<char>(d[i]));
    return text;
}

TEST(Descriptors, StringsAreUtf16WithLengthAndType) {
    AdapterIdentity id;
    id.deviceCode = "8A01";
    id.productText = " X";
    const auto product = stringDescriptor(id, kStringProduct).value();
    EXPECT_EQ(product[0], product.size());
    EXPECT_EQ(product[1], kDescriptorString);
    EXPECT_EQ(decodeString(product), "8A01 X");
    EXPECT_EQ(product[3], 0);

    const auto serial = stringDescriptor(id, kStringSerial).value();
    EXPECT_EQ(serial.size(), 18u); // default serial of 8 characters
    EXPECT_EQ(serial[0], 18);

    const auto languages = stringDescriptor(id, 0).value();
    EXPECT_EQ(languages, (std::vector<std::uint8_t>{4, 3, 0x09, 0x04}));
}

TEST(Descriptors, LookupTruncatesAndStallsUnknownRequests) {
    AdapterIdentity id;
    const auto product = lookupDescriptor(id, kDescriptorString, kStringProduct, 10).value();
    ASSERT_EQ(product.size(), 10u);
    EXPECT_EQ(decodeString(product), "2A01");
    EXPECT_FALSE(lookupDescriptor(id, kDescriptorString, 3, 255));
    EXPECT_FALSE(lookupDescriptor(id, 2, 0, 255));
    EXPECT_FALSE(lookupDescriptor(id, kDescriptorDevice, 1, 255));
}

TEST(FaultPlan, ParsesTriggersAndEndpoints) {
    RequestTrigger t;
    ASSERT_TRUE(parseRequestTrigger("12", t));
    EXPECT_EQ(t.after, 12u);
    EXPECT_FALSE(t.endpoint);
    ASSERT_TRUE(parseRequestTrigger("3@0x81", t));
    EXPECT_EQ(t.after, 3u);
    EXPECT_EQ(t.endpoint, 0x81);
    EXPECT_FALSE(parseRequestTrigger("x@1", t));
    EXPECT_FALSE(parseRequestTrigger("1@0x100", t));

    std::uint8_t ep = 0;
    std::uint32_t n = 0;
    ASSERT_TRUE(parseEndpointCount("0x01:99", ep, n));
    EXPECT_EQ(ep, 1);
    EXPECT_EQ(n, 99u);
    ASSERT_TRUE(parseEndpointCount("3", ep, n));
    EXPECT_EQ(ep, 3);
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(parseEndpointCount("0x01:", ep, n));
}

TEST(FaultPlan, StallsAfterTheGivenNumberOfTransfers) {
    FaultPlan plan;
    plan.stallWrites[0x01] = 2;
    FaultInjector faults(plan);
    EXPECT_FALSE(faults.stallsWrite(0x01));
    EXPECT_FALSE(faults.stallsWrite(0x03));
    EXPECT_FALSE(faults.stallsWrite(0x01));
    EXPECT_TRUE(faults.stallsWrite(0x01));
    EXPECT_TRUE(faults.stallsWrite(0x01));
    EXPECT_FALSE(faults.stallsRead(0x81));
}

TEST(FaultPlan, DropStrikesOnceAndMuteForGood) {
    FaultPlan plan;
    plan.dropAfter = RequestTrigger{2, 0x81};
    plan.muteAfter = RequestTrigger{4, std::nullopt};
    FaultInjector faults(plan);
    EXPECT_EQ(faults.onRequest(0x02), RequestFate::Answer);
    EXPECT_EQ(faults.onRequest(0x81), RequestFate::Answer);
    EXPECT_EQ(faults.onRequest(0x81), RequestFate::Answer);
    EXPECT_EQ(faults.onRequest(0x81), RequestFate::Drop);
    EXPECT_EQ(faults.onRequest(0x81), RequestFate::Mute);
    EXPECT_EQ(faults.onRequest(0x02), RequestFate::Mute);
}

TEST(FaultPlan, ManglesFullBlocksAndShortensReplies) {
    FaultPlan plan;
    plan.badCountEvery = 2;
    plan.shortReadBytes = 40;
    FaultInjector faults(plan);
    std::vector<std::uint8_t> bytes(4 * kBlockSize, 0);
    bytes[0] = 3;
    bytes[64] = 3;
    bytes[128] = 1;
    faults.mangleFrameRead(bytes);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[64], 0xC8);
    EXPECT_EQ(bytes[128], 1);
    EXPECT_EQ(bytes.size(), 4 * kBlockSize - 40);
}

} // namespace
} // namespace emu
