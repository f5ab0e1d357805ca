// The adapter's pipes driven in-process: commands, replies, descriptors and
// frames between the two channels.

#include <gtest/gtest.h>

#include <thread>

#include "adapter_harness.h"

namespace emu::testing {
namespace {

bool sameContent(const CanFrame& a, const CanFrame& b) {
    return a.id == b.id && a.extended == b.extended && a.remote == b.remote &&
           a.length == b.length && a.data == b.data;
}

// Both channels started; channel 1 has sent four frames, which wait in
// channel 0's receive buffer.
void fourFramesWaitOnChannelZero(Harness& h) {
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    h.write(0x03, hostBlocks({testFrame(1, 1), testFrame(2, 2), testFrame(3, 3), testFrame(4, 4)}));
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (h.query(0, {10})[4] < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
}

TEST(Adapter, FramesFromChannelZeroReachChannelOneInOrder) {
    Harness h;
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    std::vector<CanFrame> sent;
    for (std::uint32_t i = 0; i < 100; ++i)
        sent.push_back(testFrame(i % 2 ? 0x123 : 0x1ABCDEF, i, i % 2 == 0));
    for (std::size_t at = 0; at < sent.size(); at += 48) {
        std::vector<CanFrame> batch(sent.begin() + at,
                                    sent.begin() + std::min(sent.size(), at + 48));
        const auto bytes = hostBlocks(batch);
        const auto r = h.write(0x01, bytes);
        EXPECT_TRUE(r.done);
        EXPECT_EQ(r.taken, bytes.size());
    }
    const auto got = h.receive(1, sent.size());
    ASSERT_EQ(got.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_TRUE(sameContent(got[i], sent[i])) << "frame " << i;
    for (std::size_t i = 1; i < got.size(); ++i)
        EXPECT_GE(got[i].stampTicks, got[i - 1].stampTicks);
    // The sender does not hear itself.
    EXPECT_FALSE(h.read(0x81, 1024, 50ms).data);
}

TEST(Adapter, FrameReadFillsRequestedBlocksAndWaitsOnlyWhenEmpty) {
    Harness h;
    fourFramesWaitOnChannelZero(h);
    const auto r = h.read(0x81, 1024, 100ms);
    ASSERT_TRUE(r.data);
    ASSERT_EQ(r.bytes.size(), 1024u);
    EXPECT_EQ(r.bytes[0], 3);
    EXPECT_EQ(r.bytes[64], 1);
    EXPECT_EQ(r.bytes[128], 0);

    EXPECT_FALSE(h.read(0x81, 1024, 150ms).data);

    // An empty pipe waits: a frame sent while the read waits is what it returns.
    std::thread late([&] {
        std::this_thread::sleep_for(50ms);
        h.write(0x03, hostBlocks({testFrame(5, 5)}));
    });
    const auto waited = h.read(0x81, 1024, 30s);
    late.join();
    ASSERT_TRUE(waited.data);
    EXPECT_EQ(waited.bytes[0], 1);
}

// A full-speed adapter ends a transfer its frames fill at once, and one they
// do not fill with a short packet at the start of the next 1 ms USB frame.
TEST(Adapter, AReadTheFramesCannotFillEndsAtTheNextUsbFrame) {
    Harness h;
    fourFramesWaitOnChannelZero(h);

    const auto full = h.read(0x81, 64, 30s);
    ASSERT_TRUE(full.data);
    EXPECT_EQ(full.bytes[0], 3);

    const auto before = std::chrono::steady_clock::now();
    const auto partial = h.read(0x81, 1024, 30s);
    const auto after = std::chrono::steady_clock::now();
    ASSERT_TRUE(partial.data);
    EXPECT_EQ(partial.bytes[0], 1);
    EXPECT_GE(after.time_since_epoch(),
              std::chrono::floor<std::chrono::milliseconds>(before.time_since_epoch()) + 1ms);
}

TEST(Adapter, FramesTravelOnlyBetweenStartedChannelsAtTheSameRate) {
    Harness h;
    h.startBuses();
    h.startChannel(0, 0x00, 0x14); // 1 Mbit/s
    h.startChannel(1, 0x00, 0x1C); // 500 kbit/s
    h.write(0x01, hostBlocks({testFrame(0x10, 1)}));
    EXPECT_FALSE(h.read(0x83, 1024, 100ms).data);

    h.startChannel(1, 0xC0, 0x23); // 1 Mbit/s, other segments and SJW
    h.write(0x01, hostBlocks({testFrame(0x11, 2)}));
    EXPECT_EQ(h.receive(1, 1).size(), 1u);

    h.write(0x04, command({3})); // reset channel 1
    h.write(0x01, hostBlocks({testFrame(0x12, 3)}));
    EXPECT_FALSE(h.read(0x83, 1024, 100ms).data);
}

TEST(Adapter, StoppedChannelDiscardsWhatTheHostSends) {
    Harness h;
    h.startBuses();
    h.startChannel(1);
    const auto r = h.write(0x01, hostBlocks({testFrame(0x10, 1), testFrame(0x11, 2)}));
    EXPECT_TRUE(r.done);
    EXPECT_FALSE(h.read(0x83, 1024, 100ms).data);
    EXPECT_EQ(h.adapter.channel(0).status().discarded, 2u);
}

TEST(Adapter, StartWithoutInitialiseSendsNothing) {
    Harness h;
    h.startBuses();
    h.startChannel(1);
    h.write(0x02, command({2})); // start, never initialised
    std::vector<CanFrame> frames;
    for (std::uint32_t i = 0; i < 96; ++i)
        frames.push_back(testFrame(0x10, i));
    EXPECT_TRUE(h.write(0x01, hostBlocks(frames), 200ms).done); // never blocks
    EXPECT_FALSE(h.read(0x83, 1024, 100ms).data);
}

TEST(Adapter, SelfTestModeHearsItsOwnFrames) {
    Harness h;
    h.startBuses();
    h.startChannel(0, 0x00, 0x14, 2);
    h.write(0x01, hostBlocks({testFrame(0x55, 1)}));
    EXPECT_EQ(h.receive(0, 1).size(), 1u);
}

TEST(Adapter, SelfReceptionRequestEchoesOneFrame) {
    Harness h;
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    auto bytes = hostBlocks({testFrame(0x60, 1), testFrame(0x61, 2)});
    bytes[1 + 9] = 2; // transmit mode of the first frame: self-reception
    h.write(0x01, bytes);
    const auto echoed = h.receive(0, 1);
    ASSERT_EQ(echoed.size(), 1u);
    EXPECT_EQ(echoed[0].id, 0x60u);
    EXPECT_EQ(h.receive(1, 2).size(), 2u);
    EXPECT_FALSE(h.read(0x81, 1024, 50ms).data);
}

TEST(Adapter, ReceiveCountAndOverrunsShowInReplies) {
    Harness h(true, false, 5);
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    std::vector<CanFrame> frames;
    for (std::uint32_t i = 0; i < 8; ++i)
        frames.push_back(testFrame(0x100, i));
    h.write(0x01, hostBlocks(frames));
    std::vector<std::uint8_t> status;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
        status = h.query(1, {11});
    } while (word(status, 5) < 3 && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(word(status, 5), 3u);           // overruns, full count
    EXPECT_EQ(word(status, 9), 0u);           // overruns, bits 8-15
    EXPECT_EQ(word(status, 1) & 0x03, 0x03u); // frames waiting, data overrun
    EXPECT_EQ(word(status, 7), 0x00u);
    EXPECT_EQ(word(status, 8), 0x14u);
    EXPECT_EQ(word(h.query(1, {10}), 1), 5u);

    h.write(0x04, command({5})); // clear buffer
    EXPECT_EQ(word(h.query(1, {10}), 1), 0u);
    EXPECT_EQ(word(h.query(1, {11}), 1) & 0x03, 0u);
}

TEST(Adapter, ControllerConditionsShowInTheStatusReply) {
    ControllerFaults warned;
    warned.receiveErrors = 100;
    warned.transmitErrors = 7;
    warned.errorPassive = true;
    ControllerFaults off;
    off.busOff = true;
    Harness h(true, false, 4096, {warned, off});
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);

    const auto first = h.query(0, {11});
    EXPECT_EQ(word(first, 3), 100u);
    EXPECT_EQ(word(first, 4), 128u) << "error-passive raises the transmit counter";
    EXPECT_EQ(word(first, 1) & 0xC0, 0x40u) << "error warning, not bus-off";

    const auto second = h.query(1, {11});
    EXPECT_EQ(word(second, 3), 0u);
    EXPECT_EQ(word(second, 4), 255u);
    EXPECT_EQ(word(second, 1) & 0xC0, 0xC0u) << "error warning and bus-off";

    // A bus-off controller neither sends nor receives.
    h.write(0x03, hostBlocks({testFrame(0x10, 1), testFrame(0x11, 2)}));
    h.write(0x01, hostBlocks({testFrame(0x20, 3)}));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (h.adapter.channel(0).status().transmitted < 1 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    const ChannelStatus s0 = h.adapter.channel(0).status();
    const ChannelStatus s1 = h.adapter.channel(1).status();
    EXPECT_EQ(s0.transmitted, 1u);
    EXPECT_EQ(s0.received, 0u);
    EXPECT_EQ(s1.discarded, 2u);
    EXPECT_EQ(s1.received + s1.overruns, 0u);
}

TEST(Adapter, InjectedOverrunsCountInSixteenBitsOverTwoWords) {
    ControllerFaults lossy;
    lossy.overrunEvery = 3;
    Harness h(true, false, 4096, {ControllerFaults{}, lossy});
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    std::vector<CanFrame> frames;
    for (std::uint32_t i = 0; i < 960; ++i)
        frames.push_back(testFrame(0x100, i));
    for (std::size_t at = 0; at < frames.size(); at += 48)
        h.write(0x01,
                hostBlocks({frames.begin() + static_cast<std::ptrdiff_t>(at),
                            frames.begin() + static_cast<std::ptrdiff_t>(at + 48)}),
                10s);
    const auto received = h.receive(1, 640);
    EXPECT_EQ(received.size(), 640u);
    const auto status = h.query(1, {11});
    EXPECT_EQ(word(status, 5), 320u);
    EXPECT_EQ(word(status, 9), 320u >> 8);
    EXPECT_EQ(word(status, 1) & 0x02, 0x02u) << "data overrun";
}

TEST(Adapter, StatusReplyReportsMode) {
    Harness h;
    h.startBuses();
    h.write(0x02, initCommand(0x00, 0x1C, 1)); // listen-only, filter kind 1, not started
    const auto w2 = word(h.query(0, {11}), 2);
    EXPECT_EQ((w2 >> 8) & 0xFF, 2u);
    EXPECT_EQ((w2 >> 16) & 1, 1u);
    EXPECT_EQ(w2 & 0x01, 0x01u); // reset mode until started
}

TEST(Adapter, RegistersReadBackWhatTheHostWrote) {
    Harness h;
    h.write(0x04, command({13, 0, 0x5A}));
    EXPECT_EQ(word(h.query(1, {12}), 1), 0x5Au);
    h.write(0x04, command({13, 1, 0x77})); // other kinds leave the setting
    EXPECT_EQ(word(h.query(1, {12}), 1), 0x5Au);
    EXPECT_EQ(word(h.query(0, {12}), 1), 0u);

    h.write(0x02, command({4, 15, 1, 2, 0x11223344, 0x55667788, 5, 6, 7, 8, 9}));
    const auto refs = h.query(0, {9});
    EXPECT_EQ(word(refs, 1), 1u);
    EXPECT_EQ(word(refs, 3), 0x11223344u);
    EXPECT_EQ(word(refs, 4), 0x55667788u);
    EXPECT_EQ(word(refs, 9), 9u);
    EXPECT_EQ(word(h.query(1, {9}), 3), 0u);
}

TEST(Adapter, AuxiliaryQueryAnswersOnItsOwnPipe) {
    Harness h;
    h.write(0x06, command({0}));
    const auto reply = h.read(0x86, 64);
    ASSERT_TRUE(reply.data);
    ASSERT_EQ(reply.bytes.size(), 64u);
    EXPECT_EQ(word(reply.bytes, 1), 1000u);
    EXPECT_FALSE(h.read(0x84, 64, 50ms).data); // nothing on the command reply pipe
}

TEST(Adapter, ShortReplyReadGetsThePacketStart) {
    Harness h;
    h.write(0x02, command({13, 0, 7}));
    h.write(0x02, command({12}));
    const auto r = h.read(0x82, 8);
    ASSERT_EQ(r.bytes.size(), 8u);
    EXPECT_EQ(word(r.bytes, 1), 7u);
}

TEST(Adapter, DeviceCodeWriteChangesTheProductString) {
    Harness h;
    // Sign-extended bytes, as a host sends them.
    h.write(0x02, command({6, '8', 'A', '0', 0xFFFFFFB1}));
    const auto product = h.adapter.descriptor(3, 2, 0x0409, 10).value();
    ASSERT_EQ(product.size(), 10u);
    EXPECT_EQ(product[2], '8');
    EXPECT_EQ(product[4], 'A');
    EXPECT_EQ(product[8], 0xB1);
    EXPECT_EQ(h.adapter.identity().productText, " USB-CAN Virtual");
}

TEST(Adapter, DeviceResetStopsBothChannels) {
    Harness h;
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    h.write(0x02, command({7}));
    EXPECT_FALSE(h.adapter.channel(0).status().started);
    EXPECT_FALSE(h.adapter.channel(1).status().started);
}

TEST(Adapter, WriteTimesOutWhenTheBusCannotTakeTheFrames) {
    Harness h; // buses not started: nothing drains the transmit queue
    h.startChannel(0);
    std::vector<CanFrame> frames;
    for (std::uint32_t i = 0; i < 48; ++i)
        frames.push_back(testFrame(0x100, i));
    EXPECT_TRUE(h.write(0x01, hostBlocks(frames)).done);
    const auto r = h.write(0x01, hostBlocks(frames), 100ms);
    EXPECT_FALSE(r.done);
    // 64 frames fit: 48 + 16 more, that is 5 whole blocks of the second write.
    EXPECT_EQ(r.taken, 5 * kBlockSize);
}

TEST(Adapter, UnknownPipesAndOpcodesAreHarmless) {
    Harness h;
    EXPECT_FALSE(h.write(0x07, command({2})).done);
    EXPECT_FALSE(h.read(0x87, 64, 10ms).data);
    EXPECT_TRUE(h.write(0x02, command({8})).done);
    EXPECT_TRUE(h.write(0x02, command({0xFFFFFFFF})).done);
    EXPECT_FALSE(h.read(0x82, 64, 20ms).data);
}

} // namespace
} // namespace emu::testing
