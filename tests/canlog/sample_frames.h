#pragma once

// Frames that exercise every corner the log formats must keep: both channels,
// received and sent, standard and extended identifiers at their limits,
// lengths 0 to 8, remote frames with and without a length, 0.1 ms spacing.

#include <vector>

#include "log_frame.h"

namespace canlog::test {

inline std::vector<LogFrame> sampleFrames() {
    std::vector<LogFrame> frames;
    std::int64_t time = 1'700'000'000'000'000;
    auto add = [&](std::uint8_t channel, bool tx, std::uint32_t id, bool extended, bool remote,
                   std::uint8_t length) {
        LogFrame f;
        f.timeUs = time;
        f.channel = channel;
        f.tx = tx;
        f.id = id;
        f.extended = extended;
        f.remote = remote;
        f.length = length;
        if (!remote) {
            for (std::uint8_t i = 0; i < length; ++i)
                f.data[i] = static_cast<std::uint8_t>(0x11 * (i + 1) + id);
        }
        frames.push_back(f);
        time += 100 + 37 * static_cast<std::int64_t>(frames.size()); // from 0.1 ms upwards
    };
    for (std::uint8_t length = 0; length <= 8; ++length)
        add(length % 2, length % 3 == 0, 0x100 + length, false, false, length);
    add(0, false, 0x000, false, false, 8);
    add(1, true, 0x7FF, false, false, 1);
    add(0, true, 0x00000000, true, false, 0);
    add(1, false, 0x1FFFFFFF, true, false, 8);
    add(0, false, 0x18FEF100, true, false, 3);
    add(1, false, 0x123, false, true, 4);
    add(0, true, 0x1ABCDE, true, true, 8);
    add(1, false, 0x7FF, false, true, 0);
    add(0, false, 0x0000007F, true, true, 2);
    return frames;
}

} // namespace canlog::test
