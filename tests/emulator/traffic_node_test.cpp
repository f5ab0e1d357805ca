// Simulated nodes without a bus: their schedules and their frames.

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "byte_order.h"
#include "demo_node.h"
#include "flood_node.h"
#include "log_reader.h"
#include "replay_node.h"

namespace emu {
namespace {

using namespace std::chrono_literals;
using Clock = TrafficNode::Clock;

TEST(FloodNode, IdlesSoThatBusyTimeMatchesTheLoad) {
    FloodNode node(25);
    const Clock::time_point t0{};
    node.idle(t0 + 1s);
    EXPECT_EQ(node.nextDue(), t0 + 1s);
    node.sent(t0 + 1s, t0 + 1s + 100us);
    // Busy 100 µs at 25 %: idle 300 µs after the frame.
    EXPECT_EQ(node.nextDue(), t0 + 1s + 400us);

    FloodNode full(100);
    full.idle(t0);
    full.sent(t0, t0 + 135us);
    EXPECT_EQ(full.nextDue(), t0 + 135us);
}

TEST(FloodNode, FramesCarryASequenceAndItsComplement) {
    FloodNode node(100);
    const Clock::time_point t0{};
    node.idle(t0);
    for (std::uint32_t i = 0; i < 3; ++i) {
        const CanFrame f = node.pendingFrame();
        EXPECT_EQ(f.id, kFloodId);
        EXPECT_FALSE(f.extended);
        EXPECT_EQ(f.length, 8);
        EXPECT_EQ(getU32(f.data.data()), i);
        EXPECT_EQ(getU32(f.data.data() + 4), ~i);
        node.sent(t0, t0 + 100us);
    }
}

TEST(FloodNode, ShortFramesKeepWhatFitsOfTheSequence) {
    FloodNode empty(100, FloodPattern{.length = 0});
    EXPECT_EQ(empty.pendingFrame().length, 0);
    EXPECT_EQ(empty.pendingFrame().data, (std::array<std::uint8_t, 8>{}));
    FloodNode two(100, FloodPattern{.length = 2});
    const Clock::time_point t0{};
    two.idle(t0);
    for (int i = 0; i < 0x102; ++i)
        two.sent(t0, t0 + 55us);
    const CanFrame f = two.pendingFrame();
    EXPECT_EQ(f.length, 2);
    EXPECT_EQ(f.data, (std::array<std::uint8_t, 8>{0x02, 0x01}));
}

// Every frame a receiver misses shows, whatever the length, as long as the
// identifiers or the sequence number tell the frames apart.
TEST(FloodNode, ACheckerCountsEveryLostAndDamagedFrameOfEachPattern) {
    const std::vector<FloodPattern> patterns{
        *parseFloodIds("count", 0), *parseFloodIds("random:5000:7", 0),
        *parseFloodIds("random:5000:7", 3), *parseFloodIds("fixed", 8)};
    for (const FloodPattern& pattern : patterns) {
        SCOPED_TRACE(describeFloodIds(pattern) + ", length " + std::to_string(pattern.length));
        FloodNode node(100, pattern);
        FloodChecker checker(pattern);
        const Clock::time_point t0{};
        node.idle(t0);
        std::uint64_t dropped = 0;
        std::set<std::uint32_t> ids;
        for (int n = 0; n < 12000; ++n) {
            CanFrame f = node.pendingFrame();
            node.sent(t0, t0 + 55us);
            ids.insert(f.id);
            EXPECT_EQ(f.extended, pattern.ids == FloodPattern::Ids::Random);
            EXPECT_LE(f.id, f.extended ? 0x1FFFFFFFu : 0x7FFu);
            // Runs of lost frames of several lengths, never a whole cycle.
            if (n % 997 >= 990 || n == 5000) {
                ++dropped;
                continue;
            }
            if (n == 7000)
                f.length = 1; // a damaged frame
            checker.add(f.id, f.extended, f.remote, f.length, f.data.data());
        }
        EXPECT_EQ(checker.frames(), 12000 - dropped);
        EXPECT_EQ(checker.lost(), dropped);
        EXPECT_EQ(checker.damaged(), 1u);
        EXPECT_EQ(checker.outOfOrder(), 0u);
        EXPECT_EQ(ids.size(), std::min<std::size_t>(FloodIdCycle(pattern).size(), 12000));
    }
    EXPECT_FALSE(parseFloodIds("random:0", 8));
    EXPECT_FALSE(parseFloodIds("random:5:x", 8));
    EXPECT_FALSE(parseFloodIds("counting", 8));
}

TEST(PeriodicNode, KeepsItsPeriodAndUpdatesItsData) {
    CanFrame frame;
    frame.id = 0x100;
    frame.length = 1;
    PeriodicNode node(frame, 10ms, 2ms, [](CanFrame& f, std::uint64_t n) {
        f.data[0] = static_cast<std::uint8_t>(n);
    });
    const Clock::time_point t0{};
    node.idle(t0);
    EXPECT_EQ(node.nextDue(), t0 + 2ms);
    node.sent(t0 + 2ms, t0 + 2ms + 100us);
    EXPECT_EQ(node.nextDue(), t0 + 12ms);
    EXPECT_EQ(node.pendingFrame().data[0], 1);
    // Sent late (bus busy): the next one is not due before the late start.
    node.sent(t0 + 30ms, t0 + 30ms + 100us);
    EXPECT_EQ(node.nextDue(), t0 + 30ms);
}

TEST(PeriodicNode, MissedTimeIsNotMadeUpAfterIdling) {
    PeriodicNode node(CanFrame{}, 10ms, 1ms, nullptr);
    const Clock::time_point t0{};
    node.idle(t0);
    node.idle(t0 + 5s); // nobody listened for five seconds
    EXPECT_EQ(node.nextDue(), t0 + 5s + 1ms);
}

TEST(DemoNodes, MixStandardExtendedAndRemoteFrames) {
    const auto nodes = makeDemoNodes(0);
    bool standard = false, extended = false, remote = false;
    for (const auto& node : nodes) {
        const CanFrame f = node->pendingFrame();
        standard |= !f.extended;
        extended |= f.extended;
        remote |= f.remote;
    }
    EXPECT_TRUE(standard);
    EXPECT_TRUE(extended);
    EXPECT_TRUE(remote);
}

std::vector<ReplayRecord> records(const std::string& text) {
    std::istringstream in(text);
    return toReplayRecords(canlog::readLog(in, canlog::Format::Candump).frames);
}

TEST(ReplayNode, KeepsLoggedSpacingAndEnds) {
    ReplayNode node(records("(5.0) can0 100#\n(5.25) can0 101#\n"), false);
    const Clock::time_point t0{};
    node.idle(t0 + 1s);
    EXPECT_EQ(node.nextDue(), t0 + 1s);
    EXPECT_EQ(node.pendingFrame().id, 0x100u);
    node.sent(t0 + 1s, t0 + 1s + 50us);
    EXPECT_EQ(node.nextDue(), t0 + 1250ms);
    EXPECT_EQ(node.pendingFrame().id, 0x101u);
    node.sent(t0 + 1250ms, t0 + 1250ms + 50us);
    EXPECT_FALSE(node.nextDue());
}

TEST(ReplayNode, WaitsWhileNobodyListensAndLoops) {
    ReplayNode node(records("(5.0) can0 100#\n(5.25) can0 101#\n"), true);
    const Clock::time_point t0{};
    node.idle(t0);
    node.sent(t0, t0 + 50us);
    node.idle(t0 + 2s); // paused: the second frame moves with the pause
    EXPECT_EQ(node.nextDue(), t0 + 2s);
    node.sent(t0 + 2s, t0 + 2s + 50us);
    // Looping: the first frame again, 100 ms after the end of the last.
    EXPECT_EQ(node.pendingFrame().id, 0x100u);
    EXPECT_EQ(node.nextDue(), t0 + 2s + 50us + 100ms);
}

} // namespace
} // namespace emu
