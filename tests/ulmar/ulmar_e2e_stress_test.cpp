// 100,000 frames each way between the two channels of one 1 Mbit/s bus, with
// transmit and receive of both channels running on their own threads at once.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

using namespace ulmar::e2e;
using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

namespace {

constexpr uint32_t kFramesEachWay = 100000;
// A generous deadline for a loaded machine: at its pace the run takes 22 s.
constexpr auto kTimeLimit = std::chrono::seconds(400);

// Each direction sends at 4500 frames/s, about a third of what the bus
// carries of these 75-bit frames: together they load it to two thirds. A
// host that sent faster than its share would, with its lower identifiers,
// hold the bus and starve the other direction, as on a real bus.
constexpr double kFramesPerSecond = 4500.0;

// Frame n of a direction: identifier and 2 data bytes follow from n, so the
// receiver can tell a lost, repeated, reordered or altered frame. Channel 0
// sends even identifiers and channel 1 odd ones.
VciCanFrame frameNumber(uint32_t n, uint32_t parity) {
    return dataFrame(2 * (n % 0x400) + parity,
                     {static_cast<uint8_t>(n >> 10), static_cast<uint8_t>(~n)});
}

void sendAll(uint32_t channel, uint32_t parity, std::string& failure) {
    using Clock = std::chrono::steady_clock;
    const auto batchTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(48 / kFramesPerSecond));
    std::vector<VciCanFrame> batch;
    const auto start = Clock::now();
    auto due = start;
    for (uint32_t next = 0; next < kFramesEachWay;) {
        // Never faster than the share: a thread that fell behind does not
        // catch up in a burst.
        std::this_thread::sleep_until(due);
        due = std::max(due, Clock::now()) + batchTime;
        if (Clock::now() - start > kTimeLimit) {
            failure = "sending timed out at frame " + std::to_string(next);
            return;
        }
        batch.clear();
        for (uint32_t n = next; n < kFramesEachWay && batch.size() < 48; ++n)
            batch.push_back(frameNumber(n, parity));
        const int32_t sent =
            VCI_Transmit(4, 0, channel, batch.data(), static_cast<uint32_t>(batch.size()));
        // A write that timed out may have taken part of its batch, so it
        // cannot be repeated without duplicates: it fails the test.
        if (sent != static_cast<int32_t>(batch.size())) {
            failure = "transmit of frame " + std::to_string(next) + " gave " + std::to_string(sent);
            return;
        }
        next += static_cast<uint32_t>(sent);
    }
}

void receiveAll(uint32_t channel, uint32_t parity, std::string& failure) {
    std::vector<VciCanFrame> buffer(48);
    const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
    for (uint32_t expected = 0; expected < kFramesEachWay;) {
        if (std::chrono::steady_clock::now() > deadline) {
            failure = "received only " + std::to_string(expected) + " frames";
            return;
        }
        const int32_t got = VCI_Receive(4, 0, channel, buffer.data(), 48, 0);
        for (int32_t i = 0; i < got; ++i, ++expected) {
            const VciCanFrame want = frameNumber(expected, parity);
            const VciCanFrame& have = buffer[static_cast<size_t>(i)];
            if (have.canId != want.canId || have.length != 2 || have.isExtended != 0 ||
                have.isRemote != 0 || std::memcmp(have.payload, want.payload, 2) != 0) {
                failure = "frame " + std::to_string(expected) + " lost or altered (got id " +
                          std::to_string(have.canId) + ")";
                return;
            }
        }
    }
}

} // namespace

TEST(StressE2E, HundredThousandFramesEachWayArriveCompleteAndInOrder) {
    DeviceDir dir;
    // A receive buffer of several seconds, so that a receiving thread the
    // loaded machine does not schedule for a while loses nothing.
    // Writes may wait for room almost as long as the library waits for their
    // answer, so an emulator the machine starves for a moment still takes them.
    EmuProcess emu(dir, "bus", {"--rx-buffer", "30000", "--write-timeout", "1500"});
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));

    // Each thread owns one pipe; the library allows transmit and receive of a
    // channel on different threads at once.
    std::string failures[4];
    std::thread threads[] = {
        std::thread(sendAll, 0, 0, std::ref(failures[0])),
        std::thread(receiveAll, 1, 0, std::ref(failures[1])),
        std::thread(sendAll, 1, 1, std::ref(failures[2])),
        std::thread(receiveAll, 0, 1, std::ref(failures[3])),
    };
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string& failure : failures)
        EXPECT_EQ(failure, "");

    EXPECT_EQ(VCI_ResetCAN(4, 0, 0), 1);
    EXPECT_EQ(VCI_ResetCAN(4, 0, 1), 1);
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}
