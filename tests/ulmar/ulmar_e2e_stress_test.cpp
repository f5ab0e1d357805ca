// Threads driving one adapter at once: 100,000 frames each way between the two
// channels of one 1 Mbit/s bus with transmit and receive of both channels on
// their own threads, and a reset racing a receive thread.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace ulmar::e2e;
using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

namespace {

constexpr uint32_t kFullFramesEachWay = 100000;

// Frames per direction: all of them, or fewer where TESSEL_STRESS_FRAMES
// says so (the emulated USB stack of scripts/test-gadget.sh is slow).
uint32_t framesEachWay() {
    static const uint32_t frames = [] {
        const char* limit = std::getenv("TESSEL_STRESS_FRAMES");
        const unsigned long n = limit != nullptr ? std::strtoul(limit, nullptr, 10) : 0;
        return n > 0 && n < kFullFramesEachWay ? static_cast<uint32_t>(n) : kFullFramesEachWay;
    }();
    return frames;
}
// A generous deadline for a loaded machine: at its pace the full run takes 22 s.
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
    for (uint32_t next = 0; next < framesEachWay();) {
        // Never faster than the share: a thread that fell behind does not
        // catch up in a burst.
        std::this_thread::sleep_until(due);
        due = std::max(due, Clock::now()) + batchTime;
        if (Clock::now() - start > kTimeLimit) {
            failure = "sending timed out at frame " + std::to_string(next);
            return;
        }
        batch.clear();
        for (uint32_t n = next; n < framesEachWay() && batch.size() < 48; ++n)
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
    for (uint32_t expected = 0; expected < framesEachWay();) {
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

// The hardest load a 1 Mbit/s bus carries: frames of length 0 back to back on
// both channels' buses. The flood's identifiers count 0x000-0x7FF, so every
// lost frame shows as a gap. A receive buffer that holds the whole run keeps a
// receiver the loaded machine starves from losing frames, so what is checked
// is that the reads deliver every frame once and in order.
TEST(StressE2E, ShortestFramesAtFullLoadOnBothChannelsArriveComplete) {
    const uint32_t frames = std::min<uint32_t>(framesEachWay(), 20000);
    DeviceDir dir;
    EmuProcess emu(dir, "bus",
                   {"--separate-buses", "--flood", "100", "--flood-length", "0", "--flood-ids",
                    "count", "--rx-buffer", "100000"});
    ASSERT_EQ(VCI_OpenDevice(4, 0, 0), 1);
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));

    struct Count {
        uint32_t received = 0;
        uint32_t lost = 0;
        uint32_t wrong = 0;
    };
    Count counts[2];
    const auto receive = [&](uint32_t channel) {
        Count& count = counts[channel];
        VciCanFrame buffer[48];
        uint32_t previous = 0;
        const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
        while (count.received < frames && std::chrono::steady_clock::now() < deadline) {
            const int32_t got = VCI_Receive(4, 0, channel, buffer, 48, 0);
            for (int32_t i = 0; i < got; ++i) {
                const VciCanFrame& frame = buffer[i];
                if (frame.length != 0 || frame.isExtended != 0 || frame.isRemote != 0 ||
                    frame.canId > 0x7FF)
                    ++count.wrong;
                if (count.received++ > 0)
                    count.lost += (frame.canId - previous - 1) & 0x7FF;
                previous = frame.canId;
            }
        }
    };
    std::thread first(receive, 0);
    std::thread second(receive, 1);
    first.join();
    second.join();
    for (const Count& count : counts) {
        EXPECT_GE(count.received, frames);
        EXPECT_EQ(count.lost, 0u);
        EXPECT_EQ(count.wrong, 0u);
    }
    EXPECT_EQ(VCI_CloseDevice(4, 0), 1);
}

// VCI_ResetCAN clears the acceptance filter that a receive thread reads; the
// two may run at once (ThreadSanitizer checks the shared state). Channel 1
// keeps sending, and channel 0 is started again after every reset, so the
// receive thread keeps filtering frames while the resets clear the filter.
TEST(StressE2E, ResetWhileAnotherThreadReceives) {
    DeviceDir dir;
    EmuProcess emu(dir, "bus");
    ASSERT_EQ(VCI_OpenDevice(21, 0, 0), 1);
    ASSERT_TRUE(startChannel(0, 0));
    ASSERT_TRUE(startChannel(0, 1));
    // Filter changes themselves never overlap a receive; only the resets do.
    const VciFilterEntry onlyHigh{0, 0x700, 0x7FF};
    ASSERT_EQ(VCI_SetReference(21, 0, 0, 1, &onlyHigh), 1);
    ASSERT_EQ(VCI_SetReference(21, 0, 0, 2, nullptr), 1);

    std::atomic<bool> stop{false};
    int polls = 0;
    std::thread receiver([&] {
        VciCanFrame frames[48];
        while (!stop.load()) {
            VCI_Receive(21, 0, 0, frames, 48, 0);
            ++polls;
        }
    });
    std::thread sender([&] {
        const VciCanFrame frame = dataFrame(0x100, {1});
        while (!stop.load())
            VCI_Transmit(21, 0, 1, &frame, 1);
    });
    int resets = 0;
    for (int i = 0; i < 50; ++i) {
        resets += VCI_ResetCAN(21, 0, 0) == 1 ? 1 : 0;
        startChannel(0, 0);
    }
    stop = true;
    receiver.join();
    sender.join();
    EXPECT_EQ(resets, 50);
    EXPECT_GT(polls, 0);
    // The resets dropped the filter: the low identifier passes again.
    const VciCanFrame low = dataFrame(0x100, {2});
    ASSERT_EQ(VCI_Transmit(21, 0, 1, &low, 1), 1);
    const auto got = receiveFrames(0, 0, 1);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].canId, 0x100u);
    EXPECT_EQ(VCI_CloseDevice(21, 0), 1);
}
