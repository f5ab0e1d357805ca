// Channel configuration commands and references: the packets the adapter
// receives and the library's own channel state.
#include "fake_fixture.h"

#include <cstring>

using namespace ulmar;
using namespace ulmar::test;

class Configuration : public FakeAdapterTest {
protected:
    std::vector<uint8_t> lastPacket(int32_t pipe) const {
        const auto packets = packetsTo(pipe);
        return packets.empty() ? std::vector<uint8_t>{} : packets.back();
    }

    static VciInitConfig config(uint8_t btr0, uint8_t btr1, uint8_t busMode = 0) {
        VciInitConfig c{};
        c.acceptCode = 0x11223344;
        c.acceptMask = 0x55667788;
        c.spare = 0xDEADBEEF;
        c.filterKind = 2;
        c.btr0 = btr0;
        c.btr1 = btr1;
        c.busMode = busMode;
        return c;
    }
};

TEST_F(Configuration, InitCanSendsUsablePairUnchanged) {
    openDevice();
    const VciInitConfig c = config(0x00, 0x1C, 3);
    EXPECT_EQ(VCI_InitCAN(4, 0, 1, &c), 1);
    ASSERT_TRUE(packetsTo(kCommandOut0).empty()) << "channel 1 uses its own command pipe";
    const auto packet = lastPacket(kCommandOut1);
    ASSERT_EQ(packet.size(), 64u);
    const uint32_t expected[16] = {1, 0x11223344, 0x55667788, 0, 2, 0, 0x00, 0x1C, 3, 1};
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(wordOf(packet, k), expected[k]) << "word " << k;
}

TEST_F(Configuration, InitCanReplacesLargePrescalerWithNearestRow) {
    openDevice();
    const VciInitConfig c = config(0x20, 0x14); // prescaler 33, 8 quanta: 30.303 kbit/s
    EXPECT_EQ(VCI_InitCAN(3, 0, 0, &c), 1);
    const auto packet = lastPacket(kCommandOut0);
    EXPECT_EQ(wordOf(packet, 6), 0x0Au);
    EXPECT_EQ(wordOf(packet, 7), 0x6Fu);
}

TEST_F(Configuration, InitCanRejectsRatesOutsideTheTableAndBadBusMode) {
    openDevice();
    const VciInitConfig slow = config(0x3F, 0x7F); // 5 kbit/s
    const VciInitConfig badMode = config(0x00, 0x1C, 4);
    EXPECT_EQ(VCI_InitCAN(4, 0, 0, &slow), 0);
    EXPECT_EQ(VCI_InitCAN(4, 0, 0, &badMode), 0);
    EXPECT_TRUE(adapter.writes.empty());
}

TEST_F(Configuration, ReferenceTypesNeedTheirBitRateFirst) {
    openDevice(20);
    const VciInitConfig c = config(0x00, 0x14);
    EXPECT_EQ(VCI_InitCAN(20, 0, 0, &c), 0);
    EXPECT_TRUE(adapter.writes.empty());

    // Prescaler 4, segments 13 and 2 on 36 MHz: 562.5 kbit/s, row 6.
    const uint32_t timing = 3 | 12u << 16 | 1u << 20;
    EXPECT_EQ(VCI_SetReference(20, 0, 0, 0, &timing), 1);
    EXPECT_TRUE(adapter.writes.empty()) << "the bit rate stays in the library";
    EXPECT_EQ(VCI_InitCAN(20, 0, 0, &c), 1);
    const auto packet = lastPacket(kCommandOut0);
    const uint32_t expected[10] = {1, 0, 0xFFFFFFFF, 0, 1, 0, 0x00, 0x1A, 0, 1};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(wordOf(packet, k), expected[k]) << "word " << k;
    EXPECT_EQ(VCI_InitCAN(20, 0, 1, &c), 0) << "the rate is per channel";
}

TEST_F(Configuration, SetReferenceBitRateCases) {
    const uint32_t rate333 = 8 | 8u << 16 | 1u << 20; // prescaler 9, 12 quanta
    EXPECT_EQ(VCI_SetReference(21, 0, 1, 0, &rate333), 1);
    EXPECT_EQ(channelState(1).rateIndex, 16u);
    const uint32_t tooSlow = 0x3FF | 15u << 16 | 7u << 20;
    EXPECT_EQ(VCI_SetReference(21, 0, 1, 0, &tooSlow), 0);
    EXPECT_EQ(channelState(1).rateIndex, 16u);
    const uint32_t tooFast = 0 | 0u << 16 | 0u << 20; // 36000 / 1 / 3
    EXPECT_EQ(VCI_SetReference(21, 0, 1, 0, &tooFast), 0);
}

TEST_F(Configuration, SetReferenceOnlyForReferenceTypes) {
    openDevice();
    const uint32_t value = 1;
    for (uint32_t kind : {0u, 1u, 2u, 3u, 4u})
        EXPECT_EQ(VCI_SetReference(4, 0, 0, kind, &value), 0) << "kind " << kind;
    EXPECT_EQ(VCI_SetReference(20, 0, 0, 5, &value), 0);
    EXPECT_TRUE(adapter.writes.empty());
}

TEST_F(Configuration, SetReferenceSetValueSendsOpcode14) {
    openDevice(20);
    const uint32_t value = 0xCAFEF00D;
    EXPECT_EQ(VCI_SetReference(20, 0, 1, 4, &value), 1);
    const auto packet = lastPacket(kCommandOut1);
    EXPECT_EQ(wordOf(packet, 0), 14u);
    EXPECT_EQ(wordOf(packet, 1), 0xCAFEF00Du);
    adapter.writeResults = {0};
    EXPECT_EQ(VCI_SetReference(20, 0, 1, 4, &value), 0);
}

TEST_F(Configuration, FilterTableHoldsFiveHundredEntries) {
    const VciFilterEntry entry{0, 1, 2};
    for (int i = 0; i < kFilterCapacity; ++i)
        ASSERT_EQ(VCI_SetReference(20, 0, 0, 1, &entry), 1) << "entry " << i;
    EXPECT_EQ(VCI_SetReference(20, 0, 0, 1, &entry), 0);
    EXPECT_EQ(channelState(0).filterCount, kFilterCapacity);
    EXPECT_EQ(VCI_SetReference(20, 0, 0, 3, nullptr), 1);
    EXPECT_EQ(channelState(0).filterCount, 0);
    EXPECT_EQ(VCI_SetReference(20, 0, 0, 1, &entry), 1);
}

TEST_F(Configuration, StartResetAndClearSendOnlyTheirOpcode) {
    openDevice();
    channelState(0).filterCount = 3;
    channelState(0).filterEnabled = 1;
    channelState(1).filterEnabled = 1;
    EXPECT_EQ(VCI_StartCAN(4, 0, 0), 1);
    EXPECT_EQ(VCI_ResetCAN(4, 0, 0), 1);
    EXPECT_EQ(VCI_ClearBuffer(4, 0, 0), 1);
    const auto packets = packetsTo(kCommandOut0);
    ASSERT_EQ(packets.size(), 3u);
    const uint32_t opcodes[3] = {2, 3, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wordOf(packets[static_cast<size_t>(i)], 0), opcodes[i]);
        for (int k = 1; k < 16; ++k)
            EXPECT_EQ(wordOf(packets[static_cast<size_t>(i)], k), 0u);
    }
    EXPECT_EQ(channelState(0).filterCount, 0);
    EXPECT_EQ(channelState(0).filterEnabled, 0u);
    EXPECT_EQ(channelState(1).filterEnabled, 1u) << "reset touches only its channel";
    adapter.writeResults = {0};
    EXPECT_EQ(VCI_StartCAN(4, 0, 0), 0);
}

TEST_F(Configuration, ResetClearsTheFilterEvenWithoutPipes) {
    channelState(1).filterEnabled = 1;
    EXPECT_EQ(VCI_ResetCAN(4, 0, 1), -1);
    EXPECT_EQ(channelState(1).filterEnabled, 0u);
}

TEST_F(Configuration, GetReferenceKinds) {
    openDevice();
    uint32_t value = 0;
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 30, &value), 100);
    EXPECT_EQ(value, 1000u);
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 12, &value), 0);

    adapter.readScript[kAuxIn0] = {{true, replyWords({0, 1234})}, {true, {1, 2, 3}}, {false, {}}};
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, &value), 1);
    EXPECT_EQ(value, ((1234u + 5) / 10 % 256) * 256);
    ASSERT_EQ(packetsTo(kAuxOut0).size(), 1u);
    EXPECT_EQ(wordOf(packetsTo(kAuxOut0)[0], 0), 0u);
    value = 42;
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, &value), 1) << "short reply";
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(VCI_GetReference(4, 0, 0, 11, &value), 0) << "failed read";
    EXPECT_EQ(adapter.reads.back().timeoutMs, 1000u);
}

TEST_F(Configuration, SetReference2Words) {
    openDevice();
    const uint8_t be[] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 2, be), 1);
    auto packet = lastPacket(kCommandOut0);
    EXPECT_EQ(wordOf(packet, 0), 4u);
    EXPECT_EQ(wordOf(packet, 1), 2u);
    EXPECT_EQ(wordOf(packet, 2), 0x12345678u);

    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 13, be), 1);
    EXPECT_EQ(wordOf(lastPacket(kCommandOut0), 2), 0x12u);

    const uint8_t timing[] = {0xFF, 0xC3, 0x9C}; // d[0] is not read
    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 10, timing), 1);
    packet = lastPacket(kCommandOut0);
    const uint32_t kind10[10] = {4, 16, 0, 4, 8, 1, 1, 6, 7, 2};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(wordOf(packet, k), kind10[k]) << "kind 10 word " << k;
    EXPECT_EQ(wordOf(packet, 7) + wordOf(packet, 8), (0x9Cu & 0x0F) + 1);

    const uint8_t d15[15] = {1,    2,    0xA0, 0xA1, 0xA2, 0xA3, 0xB0, 0xB1,
                             0xB2, 0xB3, 10,   11,   12,   13,   14};
    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 15, d15), 1);
    packet = lastPacket(kCommandOut0);
    const uint32_t kind15[11] = {4, 15, 1, 2, 0xA0A1A2A3, 0xB0B1B2B3, 10, 11, 12, 13, 14};
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(wordOf(packet, k), kind15[k]) << "kind 15 word " << k;

    const uint8_t d16[11] = {0xC0, 0xC1, 0xC2, 0xC3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(VCI_SetReference2(4, 0, 0, 16, d16), 1);
    packet = lastPacket(kCommandOut0);
    const uint32_t kind16[10] = {4, 16, 0xC0C1C2C3, 4, 5, 6, 7, 8, 9, 10};
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(wordOf(packet, k), kind16[k]) << "kind 16 word " << k;

    for (uint32_t kind : {11u, 12u, 14u, 17u}) {
        EXPECT_EQ(VCI_SetReference2(4, 0, 0, kind, be), 1);
        packet = lastPacket(kCommandOut0);
        EXPECT_EQ(wordOf(packet, 1), kind);
        EXPECT_EQ(wordOf(packet, 2), 0u) << "kind " << kind << " carries no data";
    }
}

TEST_F(Configuration, GetReference2FillsTwentySevenBytes) {
    openDevice();
    adapter.readScript[kReplyIn0] = {
        {true, replyWords({99, 0x1A1, 0x1B2, 0x01020304, 0x05060708, 0x1C3, 0x1C4, 0x1C5, 0x1C6,
                           0x090A0B0C, 0x1D1, 0x1D2, 0x1D3, 0x1D4, 0xE1E2E3E4})},
        {true, std::vector<uint8_t>(63, 0xFF)}};
    uint8_t buffer[28];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(VCI_GetReference2(4, 0, 0, 0, buffer), 1);
    const uint8_t expected[27] = {0xA1, 0xB2, 1,    2,    3,    4,    5,    6,    7,
                                  8,    0xC3, 0xC4, 0xC5, 0xC6, 0,    0,    9,    10,
                                  11,   12,   0xD1, 0xD2, 0xD3, 0xD4, 0xE1, 0xE2, 0xE3};
    for (int i = 0; i < 27; ++i)
        EXPECT_EQ(buffer[i], expected[i]) << "byte " << i;
    EXPECT_EQ(buffer[27], 0xEE) << "only 27 bytes are written";
    EXPECT_EQ(wordOf(packetsTo(kCommandOut0)[0], 0), 9u);

    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(VCI_GetReference2(4, 0, 0, 0, buffer), 1) << "short reply";
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(VCI_GetReference2(4, 0, 0, 0, buffer), 0) << "read times out";
    EXPECT_EQ(VCI_GetReference2(4, 0, 3, 0, buffer), 0);
}
