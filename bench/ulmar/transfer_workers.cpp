#include "transfer_workers.h"

#include "ulmar.h"

#include <ctime>
#include <vector>

namespace ulmar::bench {
namespace {

constexpr std::uint32_t kBatch = 48;

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

VciCanFrame numberedFrame(std::uint32_t number, std::uint32_t channel) {
    VciCanFrame frame{};
    // Even identifiers from channel 0, odd ones from channel 1.
    frame.canId = 2 * (number % 0x400) + channel;
    frame.length = 8;
    for (int i = 0; i < 4; ++i) {
        frame.payload[i] = static_cast<std::uint8_t>(number >> (8 * i));
        frame.payload[4 + i] = static_cast<std::uint8_t>(~number >> (8 * i));
    }
    return frame;
}

std::uint32_t numberOf(const VciCanFrame& frame) {
    std::uint32_t number = 0;
    for (int i = 0; i < 4; ++i)
        number |= static_cast<std::uint32_t>(frame.payload[i]) << (8 * i);
    return number;
}

} // namespace

void Sender::run() {
    std::vector<VciCanFrame> batch(kBatch);
    const auto start = Clock::now();
    const double cpuStart = threadCpuSeconds();
    std::uint64_t offered = 0;
    while (offered < count && Clock::now() < until) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(kBatch, count - offered));
        for (std::uint32_t i = 0; i < n; ++i)
            batch[i] = numberedFrame(static_cast<std::uint32_t>(result.frames + i), channel);
        const std::int32_t sent = VCI_Transmit(4, device, channel, batch.data(), n);
        const std::uint32_t accepted = sent > 0 ? static_cast<std::uint32_t>(sent) : 0;
        result.frames += accepted;
        result.lost += n - accepted;
        offered += n;
    }
    result.cpuSeconds = threadCpuSeconds() - cpuStart;
    result.wallSeconds = secondsSince(start);
    done.store(true);
}

void Receiver::run() {
    std::vector<VciCanFrame> buffer(kBatch);
    const auto start = Clock::now();
    const double cpuStart = threadCpuSeconds();
    auto lastFrame = start;
    // Host frames are numbered from 0; a flood is joined wherever it is.
    std::uint32_t expected = 0;
    emu::FloodChecker floodCheck(flood);
    while (Clock::now() < until) {
        const bool senderFinished = senderDone != nullptr && senderDone->load();
        const std::int32_t got = VCI_Receive(4, device, channel, buffer.data(), kBatch, 0);
        if (got <= 0) {
            if (senderFinished)
                break;
            continue;
        }
        for (std::int32_t i = 0; i < got; ++i) {
            const VciCanFrame& frame = buffer[static_cast<std::size_t>(i)];
            if (sender == nullptr) {
                floodCheck.add(frame.canId, frame.isExtended == 1, frame.isRemote == 1,
                               frame.length, frame.payload);
                continue;
            }
            const std::uint32_t number = numberOf(frame);
            if (number > expected)
                result.lost += number - expected;
            expected = number + 1;
        }
        result.frames += static_cast<std::uint64_t>(got);
        lastFrame = Clock::now();
    }
    // The sender's count may be read once it has said it is done.
    if (sender != nullptr && senderDone->load() && sender->result.frames > expected)
        result.lost += sender->result.frames - expected;
    if (sender == nullptr)
        result.lost = floodCheck.lost() + floodCheck.damaged() + floodCheck.outOfOrder();
    result.cpuSeconds = threadCpuSeconds() - cpuStart;
    result.wallSeconds = std::chrono::duration<double>(lastFrame - start).count();
}

} // namespace ulmar::bench
