#pragma once

// Shared steps of the link tests: opening pipes, configuring channels and
// moving frames with a raw link client.

#include <gtest/gtest.h>

#include <memory>

#include "adapter_harness.h"
#include "emu_process.h"
#include "link_client.h"

namespace emu::testing {

inline std::unique_ptr<LinkPipe> openPipe(std::uint16_t port, std::uint8_t endpoint) {
    auto pipe = std::make_unique<LinkPipe>(port);
    EXPECT_TRUE(pipe->connected());
    const auto status = pipe->open(endpoint);
    EXPECT_EQ(status, 0u) << "endpoint " << int(endpoint);
    return pipe;
}

inline void startChannelOverLink(std::uint16_t port, int channel, std::uint8_t btr0 = 0x00,
                                 std::uint8_t btr1 = 0x14) {
    auto pipe = openPipe(port, channel == 0 ? 0x02 : 0x04);
    ASSERT_EQ(pipe->write(initCommand(btr0, btr1))->status, 0u);
    ASSERT_EQ(pipe->write(command({2}))->status, 0u);
}

inline std::vector<CanFrame> readFrames(LinkPipe& pipe, std::size_t count,
                                        std::chrono::milliseconds patience = 10s) {
    std::vector<CanFrame> frames;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (frames.size() < count && std::chrono::steady_clock::now() < deadline) {
        const auto r = pipe.read(1024, 100);
        if (!r)
            break;
        const auto got = decodeBlocks(r->data);
        frames.insert(frames.end(), got.begin(), got.end());
    }
    return frames;
}

} // namespace emu::testing
