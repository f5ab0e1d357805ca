// Fault injection of ulmar-emu, seen through the link.

#include "link_helpers.h"

namespace emu::testing {
namespace {

using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

std::vector<CanFrame> frames(std::uint32_t count) {
    std::vector<CanFrame> result;
    for (std::uint32_t i = 0; i < count; ++i)
        result.push_back(testFrame(0x100 + i, i));
    return result;
}

TEST(LinkFaults, StalledWritesTimeOutAfterTheGivenNumber) {
    DeviceDir dir;
    EmuProcess emu(dir, "stall", {"--stall-writes", "0x01:1", "--write-timeout", "300"});
    startChannelOverLink(emu.port(), 0);
    auto out = openPipe(emu.port(), 0x01);
    const auto first = out->write(hostBlocks(frames(48))).value();
    EXPECT_EQ(first.status, 0u);
    EXPECT_EQ(first.taken, 16 * 64u);

    const auto second = out->write(hostBlocks(frames(48))).value();
    EXPECT_EQ(second.status, 1u);
    EXPECT_EQ(second.taken, 0u);
    // Other pipes are not affected.
    auto other = openPipe(emu.port(), 0x03);
    EXPECT_EQ(other->write(hostBlocks(frames(3)))->status, 0u);
}

TEST(LinkFaults, StalledReadsTimeOut) {
    DeviceDir dir;
    EmuProcess emu(dir, "stallread", {"--stall-reads", "0x82"});
    auto commands = openPipe(emu.port(), 0x02);
    auto replies = openPipe(emu.port(), 0x82);
    commands->write(command({10}));
    EXPECT_EQ(replies->read(64, 200)->status, 1u);
}

TEST(LinkFaults, RefusedPipeDoesNotOpen) {
    DeviceDir dir;
    EmuProcess emu(dir, "refuse", {"--refuse-pipe", "0x85", "--refuse-pipe", "0x06"});
    LinkPipe aux(emu.port());
    EXPECT_EQ(aux.open(0x85), 1u);
    LinkPipe aux1(emu.port());
    EXPECT_EQ(aux1.open(0x06), 1u);
    LinkPipe frames(emu.port());
    EXPECT_EQ(frames.open(0x81), 0u);
}

TEST(LinkFaults, DropClosesEveryConnectionOnce) {
    DeviceDir dir;
    EmuProcess emu(dir, "drop", {"--drop-after", "2@0x82"});
    auto commands = openPipe(emu.port(), 0x02);
    auto replies = openPipe(emu.port(), 0x82);
    auto frameIn = openPipe(emu.port(), 0x81);
    for (int i = 0; i < 2; ++i) {
        commands->write(command({10}));
        EXPECT_EQ(replies->read(64, 1000)->status, 0u);
    }
    commands->write(command({10}));
    EXPECT_FALSE(replies->read(64, 1000)); // unanswered: the link drops
    EXPECT_TRUE(commands->closedByPeer());
    EXPECT_TRUE(frameIn->closedByPeer());
    // A new connection works again, as after re-plugging.
    auto again = openPipe(emu.port(), 0x82);
    auto commandsAgain = openPipe(emu.port(), 0x02);
    commandsAgain->write(command({10}));
    EXPECT_EQ(again->read(64, 1000)->status, 0u);
    EXPECT_EQ(emu.stop(), 0);
}

TEST(LinkFaults, MutedAdapterStopsAnswering) {
    DeviceDir dir;
    EmuProcess emu(dir, "mute", {"--mute-after", "1"});
    auto control = openPipe(emu.port(), 0x80);
    EXPECT_TRUE(control->descriptor(1, 0, 0, 18));
    EXPECT_FALSE(control->request(4, {1, 0, 0, 0, 18, 0, 0, 0}, 500ms));
}

TEST(LinkFaults, BadCountAndShortReplies) {
    DeviceDir dir;
    EmuProcess emu(dir, "mangle", {"--bad-count", "1", "--short-reads", "40", "--no-bus-timing"});
    startChannelOverLink(emu.port(), 0);
    startChannelOverLink(emu.port(), 1);
    auto out = openPipe(emu.port(), 0x01);
    auto in = openPipe(emu.port(), 0x83);
    // Wait until all four frames wait, so one read returns them together.
    auto commands = openPipe(emu.port(), 0x04);
    auto replies = openPipe(emu.port(), 0x84);
    out->write(hostBlocks(frames(4)));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::uint32_t waiting = 0;
    while (waiting < 4 && std::chrono::steady_clock::now() < deadline) {
        commands->write(command({10}));
        waiting = word(replies->read(64, 1000)->data, 1);
    }
    const auto r = in->read(1024, 1000).value();
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(r.data.size(), 1024u - 40);
    EXPECT_EQ(r.data[0], 0xC8); // a full block with a count byte above 3
    EXPECT_EQ(r.data[64], 1);   // the short block keeps its count
}

} // namespace
} // namespace emu::testing
