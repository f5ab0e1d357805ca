#pragma once

// An adapter with its buses running in-process, and helpers that speak its
// pipes the way a host does.

#include <chrono>
#include <memory>
#include <vector>

#include "adapter.h"
#include "byte_order.h"
#include "can_bus.h"
#include "frame_block.h"

namespace emu::testing {

using namespace std::chrono_literals;

inline std::vector<std::uint8_t> command(std::vector<std::uint32_t> words) {
    words.resize(kPacketWords, 0);
    std::vector<std::uint8_t> bytes(kPacketSize);
    for (std::size_t i = 0; i < kPacketWords; ++i)
        putU32(bytes.data() + 4 * i, words[i]);
    return bytes;
}

inline std::vector<std::uint8_t> initCommand(std::uint8_t btr0, std::uint8_t btr1,
                                             std::uint32_t mode = 0) {
    return command({1, 0, 0xFFFFFFFF, 0, 1, 0, btr0, btr1, mode, 1});
}

inline CanFrame testFrame(std::uint32_t id, std::uint32_t counter, bool extended = false) {
    CanFrame f;
    f.id = id;
    f.extended = extended;
    f.length = 8;
    for (int i = 0; i < 4; ++i)
        f.data[i] = static_cast<std::uint8_t>(counter >> (8 * i));
    return f;
}

// Host-side blocks: three frames to a block, as the library packs them.
inline std::vector<std::uint8_t> hostBlocks(const std::vector<CanFrame>& frames) {
    return encodeBlocks(frames, (frames.size() + 2) / 3);
}

inline std::uint32_t word(const std::vector<std::uint8_t>& packet, std::size_t i) {
    return getU32(packet.data() + 4 * i);
}

struct Harness {
    explicit Harness(bool oneBus = true, bool timing = true, std::size_t receiveCapacity = 4096,
                     std::array<ControllerFaults, 2> faults = {})
        : adapter(settings(receiveCapacity, faults), log) {
        const int busCount = oneBus ? 1 : 2;
        for (int b = 0; b < busCount; ++b)
            buses.push_back(std::make_unique<CanBus>(b, timing, clock));
        for (int c = 0; c < 2; ++c)
            buses[oneBus ? 0 : static_cast<std::size_t>(c)]->attach(adapter.channel(c));
    }
    ~Harness() {
        adapter.shutdown();
        for (auto& bus : buses)
            bus->stop();
    }

    static AdapterSettings settings(std::size_t receiveCapacity,
                                    const std::array<ControllerFaults, 2>& faults) {
        AdapterSettings s;
        s.receiveCapacity = receiveCapacity;
        s.controllerFaults = faults;
        return s;
    }

    void startBuses() {
        for (auto& bus : buses)
            bus->start();
    }

    WriteResult write(std::uint8_t endpoint, const std::vector<std::uint8_t>& bytes,
                      std::chrono::milliseconds timeout = 1000ms) {
        return adapter.write(endpoint, bytes, std::chrono::steady_clock::now() + timeout);
    }

    ReadResult read(std::uint8_t endpoint, std::uint32_t max,
                    std::chrono::milliseconds timeout = 1000ms) {
        return adapter.read(endpoint, max, std::chrono::steady_clock::now() + timeout);
    }

    // Initialises and starts a channel (0 or 1) through its command pipe.
    void startChannel(int channel, std::uint8_t btr0 = 0x00, std::uint8_t btr1 = 0x14,
                      std::uint32_t mode = 0) {
        const std::uint8_t ep = channel == 0 ? 0x02 : 0x04;
        write(ep, initCommand(btr0, btr1, mode));
        write(ep, command({2}));
    }

    // Sends a query on a channel's command pipe and returns the reply.
    std::vector<std::uint8_t> query(int channel, std::vector<std::uint32_t> words) {
        write(channel == 0 ? 0x02 : 0x04, command(std::move(words)));
        return read(channel == 0 ? 0x82 : 0x84, 64).bytes;
    }

    // Reads frames from a channel until `count` arrived or `patience` passed.
    std::vector<CanFrame> receive(int channel, std::size_t count,
                                  std::chrono::milliseconds patience = 10s) {
        std::vector<CanFrame> frames;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (frames.size() < count && std::chrono::steady_clock::now() < deadline) {
            const auto r = read(channel == 0 ? 0x81 : 0x83, 1024, 100ms);
            const auto got = decodeBlocks(r.bytes);
            frames.insert(frames.end(), got.begin(), got.end());
        }
        return frames;
    }

    // Everything that waits on a channel now.
    std::vector<CanFrame> drain(int channel) {
        std::vector<CanFrame> frames;
        for (;;) {
            const auto r = read(channel == 0 ? 0x81 : 0x83, 1024, 20ms);
            if (!r.data)
                return frames;
            const auto got = decodeBlocks(r.bytes);
            frames.insert(frames.end(), got.begin(), got.end());
        }
    }

    VerboseLog log;
    EmuClock clock;
    Adapter adapter;
    std::vector<std::unique_ptr<CanBus>> buses;
};

} // namespace emu::testing
