#include "demo_node.h"

#include <cmath>

namespace emu {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

CanFrame makeFrame(std::uint32_t id, bool extended, bool remote, std::uint8_t length) {
    CanFrame f;
    f.id = id;
    f.extended = extended;
    f.remote = remote;
    f.length = length;
    return f;
}

void putCounter(CanFrame& f, std::uint64_t count) {
    for (int i = 0; i < 4; ++i)
        f.data[i] = static_cast<std::uint8_t>(count >> (8 * i));
}

} // namespace

PeriodicNode::PeriodicNode(CanFrame frame, microseconds period, microseconds phase, Update update)
    : frame_(frame), period_(period), phase_(phase), update_(std::move(update)) {}

void PeriodicNode::sent(Clock::time_point start, Clock::time_point) {
    ++count_;
    due_ = std::max(*due_ + period_, start);
    if (update_)
        update_(frame_, count_);
}

void PeriodicNode::idle(Clock::time_point now) {
    if (!due_ || *due_ < now)
        due_ = now + phase_;
}

std::vector<std::unique_ptr<TrafficNode>> makeDemoNodes(int busIndex) {
    const auto salt = static_cast<std::uint8_t>(0x10 * busIndex);
    std::vector<std::unique_ptr<TrafficNode>> nodes;
    // Engine-like node: speed and a rolling counter every 10 ms.
    nodes.push_back(std::make_unique<PeriodicNode>(
        makeFrame(0x0C8, false, false, 8), milliseconds(10), microseconds(300),
        [salt](CanFrame& f, std::uint64_t n) {
            const double phase = double(n) / 200.0;
            const auto rpm = static_cast<std::uint16_t>(3000 + 2000 * std::sin(phase));
            f.data[0] = static_cast<std::uint8_t>(rpm >> 8);
            f.data[1] = static_cast<std::uint8_t>(rpm);
            f.data[2] = static_cast<std::uint8_t>(n & 0x0F);
            f.data[3] = salt;
            f.data[7] = static_cast<std::uint8_t>(n);
        }));
    // Slow status node with a short frame every 100 ms.
    nodes.push_back(
        std::make_unique<PeriodicNode>(makeFrame(0x2A0, false, false, 3), milliseconds(100),
                                       microseconds(1700), [salt](CanFrame& f, std::uint64_t n) {
                                           f.data[0] = static_cast<std::uint8_t>(salt + (n % 4));
                                           f.data[1] = static_cast<std::uint8_t>(n / 10);
                                           f.data[2] = static_cast<std::uint8_t>(~n);
                                       }));
    // Extended identifiers, J1939-style, every 50 ms and 20 ms.
    nodes.push_back(std::make_unique<PeriodicNode>(makeFrame(0x18FEF100, true, false, 8),
                                                   milliseconds(50), microseconds(4100),
                                                   [](CanFrame& f, std::uint64_t n) {
                                                       putCounter(f, n);
                                                       f.data[4] = static_cast<std::uint8_t>(n * 3);
                                                   }));
    nodes.push_back(std::make_unique<PeriodicNode>(
        makeFrame(0x0CF00400 + busIndex, true, false, 6), milliseconds(20), microseconds(9300),
        [](CanFrame& f, std::uint64_t n) {
            f.data[0] = static_cast<std::uint8_t>(0xF0 | (n & 0x0F));
            f.data[3] = static_cast<std::uint8_t>(n >> 2);
            f.data[5] = static_cast<std::uint8_t>(n * 7);
        }));
    // Occasional remote frames, one standard and one extended.
    nodes.push_back(std::make_unique<PeriodicNode>(makeFrame(0x3E8, false, true, 2),
                                                   milliseconds(1000), milliseconds(250), nullptr));
    nodes.push_back(std::make_unique<PeriodicNode>(
        makeFrame(0x1ABCDE00, true, true, 8), milliseconds(2500), milliseconds(1250), nullptr));
    return nodes;
}

} // namespace emu
