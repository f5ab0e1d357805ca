// Byte layouts of the protocol units and of the records that cross the
// interface, as the adapter and host programs see them.
#include "protocol/command_packet.h"
#include "protocol/wire_frame.h"
#include "ulmar.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ulmar;

extern "C" int ulmarHeaderCompilesAsC(void);

TEST(PacketLayout, HeaderIsUsableFromC) {
    EXPECT_EQ(ulmarHeaderCompilesAsC(), 24 + 16 + 12 + 8 + 43 + 76 + 12);
}

TEST(PacketLayout, CommandWordsAreLittleEndianAtFourByteSteps) {
    CommandPacket packet(Opcode::InitChannel);
    packet.words[1] = 0x12345678;
    packet.words[15] = 0xA1B2C3D4;
    const PacketBytes bytes = packet.encode();
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
    EXPECT_EQ(bytes[4], 0x78);
    EXPECT_EQ(bytes[7], 0x12);
    EXPECT_EQ(bytes[60], 0xD4);
    EXPECT_EQ(bytes[63], 0xA1);
    for (int i = 8; i < 60; ++i)
        EXPECT_EQ(bytes[static_cast<std::size_t>(i)], 0) << "byte " << i;
}

TEST(PacketLayout, ReplyDecodesEveryWord) {
    PacketBytes bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    const ReplyPacket reply = ReplyPacket::decode(bytes);
    EXPECT_EQ(reply.words[0], 0x03020100u);
    EXPECT_EQ(reply.words[9], 0x27262524u);
    EXPECT_EQ(reply.words[15], 0x3F3E3D3Cu);
}

TEST(PacketLayout, TransmitFrameCarriesCallerFieldsWithFixedStamp) {
    VciCanFrame frame{};
    frame.canId = 0x1ABCDEF0;
    frame.stampTicks = 0xFFFFFFFF;
    frame.stampValid = 0;
    frame.transmitMode = 2;
    frame.isRemote = 1;
    frame.isExtended = 1;
    frame.length = 8;
    for (int i = 0; i < 8; ++i)
        frame.payload[i] = static_cast<std::uint8_t>(0xA0 + i);
    std::memset(frame.spare, 0x55, 3);
    std::uint8_t wire[22];
    std::memset(wire, 0xEE, sizeof wire);
    packTransmitFrame(frame, wire);
    EXPECT_EQ(wire[0], 0xF0);
    EXPECT_EQ(wire[3], 0x1A);
    EXPECT_EQ(wire[4] | wire[5] | wire[6] | wire[7], 0);
    EXPECT_EQ(wire[8], 1);
    EXPECT_EQ(wire[9], 2);
    EXPECT_EQ(wire[10], 1);
    EXPECT_EQ(wire[11], 1);
    EXPECT_EQ(wire[12], 8);
    EXPECT_EQ(wire[13], 0xA0);
    EXPECT_EQ(wire[20], 0xA7);
    EXPECT_EQ(wire[21], 0xEE) << "a wire frame is 21 bytes";
}

TEST(PacketLayout, ReceivedFrameKeepsStampAndClearsModeAndSpare) {
    std::uint8_t wire[21] = {0x23, 0x01, 0, 0, 0x10, 0x27, 0, 0, 0, 9, 0, 0, 2, 0xDE, 0xAD};
    const VciCanFrame frame = unpackReceivedFrame(wire);
    EXPECT_EQ(frame.canId, 0x123u);
    EXPECT_EQ(frame.stampTicks, 10000u);
    EXPECT_EQ(frame.stampValid, 1);
    EXPECT_EQ(frame.transmitMode, 0);
    EXPECT_EQ(frame.length, 2);
    EXPECT_EQ(frame.payload[0], 0xDE);
    EXPECT_EQ(frame.payload[1], 0xAD);
    EXPECT_EQ(frame.spare[0] | frame.spare[1] | frame.spare[2], 0);
}

TEST(PacketLayout, BlockOffsetsOfThreeWireFrames) {
    EXPECT_EQ(wireFrameOffset(0), 1u);
    EXPECT_EQ(wireFrameOffset(1), 22u);
    EXPECT_EQ(wireFrameOffset(2), 43u);
    EXPECT_LE(wireFrameOffset(2) + 21, kBlockSize);
}
