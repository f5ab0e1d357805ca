// The simulated buses: pacing, separation, simulated nodes, and both
// directions at once from several threads.

#include <gtest/gtest.h>

#include <thread>

#include "adapter_harness.h"
#include "demo_node.h"
#include "flood_node.h"
#include "log_reader.h"
#include "replay_node.h"

namespace emu::testing {
namespace {

std::uint32_t counterOf(const CanFrame& f) {
    return getU32(f.data.data());
}

void sendAll(Harness& h, std::uint8_t endpoint, std::uint32_t id, std::uint32_t count) {
    for (std::uint32_t at = 0; at < count; at += 48) {
        std::vector<CanFrame> batch;
        for (std::uint32_t i = at; i < std::min(count, at + 48); ++i)
            batch.push_back(testFrame(id, i));
        const auto r = h.write(endpoint, hostBlocks(batch), 5s);
        ASSERT_TRUE(r.done);
    }
}

TEST(Bus, OneMegabitTakesTheBusTimeOfItsBits) {
    Harness h;
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    constexpr std::uint32_t kFrames = 400;
    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] { sendAll(h, 0x01, 0x100, kFrames); });
    const auto got = h.receive(1, kFrames);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    sender.join();
    ASSERT_EQ(got.size(), kFrames);
    // 400 frames of 135 bits at 1 Mbit/s need 54 ms; the bus may not be faster.
    EXPECT_GE(elapsed, 50ms);
    // Time stamps (0.1 ms) spread over the same bus time.
    EXPECT_GE(got.back().stampTicks - got.front().stampTicks, (kFrames - 1) * 135 / 100 - 5);
}

TEST(Bus, WithoutTimingFramesPassAtOnce) {
    Harness h(true, false);
    h.startBuses();
    h.startChannel(0, 0x1F, 0x7F); // 10 kbit/s: 480 frames would need 6.5 s of bus time
    h.startChannel(1, 0x1F, 0x7F);
    sendAll(h, 0x01, 0x100, 480);
    const auto got = h.receive(1, 480);
    ASSERT_EQ(got.size(), 480u);
    EXPECT_LT(got.back().stampTicks - got.front().stampTicks, 30000u);
}

TEST(Bus, SeparateBusesKeepChannelsApart) {
    Harness h(false);
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    h.write(0x01, hostBlocks({testFrame(0x10, 1)}));
    EXPECT_FALSE(h.read(0x83, 1024, 100ms).data);
}

TEST(Bus, LowerIdentifierWinsArbitration) {
    Harness h;
    h.startChannel(0);
    h.startChannel(1, 0x00, 0x14, 2); // self-test: channel 1 hears everything
    h.write(0x01, hostBlocks({testFrame(0x300, 0)}));
    h.write(0x03, hostBlocks({testFrame(0x100, 0)}));
    h.startBuses(); // both frames wait; the bus decides
    const auto got = h.receive(1, 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].id, 0x100u);
    EXPECT_EQ(got[1].id, 0x300u);
}

TEST(Bus, BothDirectionsAtOnceArriveCompleteAndInOrder) {
    Harness h;
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    constexpr std::uint32_t kFrames = 3000;
    std::vector<CanFrame> at0, at1;
    std::thread send0([&] { sendAll(h, 0x01, 0x200, kFrames); });
    std::thread send1([&] { sendAll(h, 0x03, 0x201, kFrames); });
    std::thread receive0([&] { at0 = h.receive(0, kFrames, 60s); });
    std::thread receive1([&] { at1 = h.receive(1, kFrames, 60s); });
    for (auto* t : {&send0, &send1, &receive0, &receive1})
        t->join();
    ASSERT_EQ(at0.size(), kFrames);
    ASSERT_EQ(at1.size(), kFrames);
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        ASSERT_EQ(at1[i].id, 0x200u);
        ASSERT_EQ(counterOf(at1[i]), i);
        ASSERT_EQ(at0[i].id, 0x201u);
        ASSERT_EQ(counterOf(at0[i]), i);
    }
    EXPECT_EQ(h.adapter.channel(0).status().overruns, 0u);
    EXPECT_EQ(h.adapter.channel(1).status().overruns, 0u);
}

TEST(Bus, FloodCarriesASequenceAtTheChosenLoad) {
    Harness h(false);
    h.buses[0]->addNode(std::make_unique<FloodNode>(100));
    h.buses[1]->addNode(std::make_unique<FloodNode>(25));
    h.startBuses();
    h.startChannel(0);
    h.startChannel(1);
    std::this_thread::sleep_for(300ms);
    h.write(0x02, command({3})); // stop both channels, then collect what arrived
    h.write(0x04, command({3}));
    const auto full = h.drain(0);
    const auto quarter = h.drain(1);
    ASSERT_GT(full.size(), 100u);
    ASSERT_GT(quarter.size(), 10u);
    for (std::size_t i = 0; i < full.size(); ++i) {
        EXPECT_EQ(full[i].id, kFloodId);
        EXPECT_EQ(getU32(full[i].data.data() + 4), ~counterOf(full[i]));
        if (i > 0) {
            ASSERT_EQ(counterOf(full[i]), counterOf(full[i - 1]) + 1);
        }
    }
    // Load 100 % vs 25 %: about four times the frames (loose bounds for a busy machine).
    EXPECT_GT(full.size(), quarter.size() * 2);
}

TEST(Bus, SimulatedNodesWaitForAListener) {
    Harness h;
    for (auto& node : makeDemoNodes(0))
        h.buses[0]->addNode(std::move(node));
    h.startBuses();
    std::this_thread::sleep_for(100ms);
    h.startChannel(1);
    const auto got = h.receive(1, 20, 5s);
    ASSERT_GE(got.size(), 20u);
    // Only frames sent after the channel started: a 10 ms node cannot have sent 20 frames in 100
    // ms.
    bool standard = false, extended = false;
    for (const auto& f : got) {
        standard |= !f.extended;
        extended |= f.extended;
    }
    EXPECT_TRUE(standard);
    EXPECT_TRUE(extended);
}

TEST(Bus, ReplayKeepsTheLoggedOrderAndSpacing) {
    std::istringstream log("(10.000) can0 100#01\n(10.050) can0 18FEF100#02\n(10.100) can0 "
                           "123#R\n");
    auto records = toReplayRecords(canlog::readLog(log, canlog::Format::Candump).frames);
    Harness h;
    h.buses[0]->addNode(std::make_unique<ReplayNode>(records, false));
    h.startBuses();
    h.startChannel(1);
    const auto got = h.receive(1, 3, 5s);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].id, 0x100u);
    EXPECT_TRUE(got[1].extended);
    EXPECT_TRUE(got[2].remote);
    // 100 ms between first and last frame: 1000 ticks, allow scheduling slack.
    EXPECT_GE(got[2].stampTicks - got[0].stampTicks, 950u);
}

} // namespace
} // namespace emu::testing
