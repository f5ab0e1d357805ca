#include "channel_reader.h"

#include <array>
#include <chrono>
#include <thread>
#include <vector>

#include "adapter_session.h"
#include "ulmar.h"
#include "vci_frames.h"

namespace {

constexpr std::uint32_t kBatch = 48;
constexpr std::int32_t kWaitMs = 100;
// A second of failed calls in a row: the adapter is gone.
constexpr int kMaxFailuresInARow = 1000;
constexpr auto kStatusEvery = std::chrono::milliseconds(500);
// Index of the overrun counter's low byte in the controller status.
constexpr std::size_t kOverrunByte = 2;

} // namespace

ChannelReader::ChannelReader(std::uint32_t device, std::uint32_t channel,
                             ulmar_tools::AdapterClock& clock, FrameSink& sink)
    : device_(device), channel_(channel), clock_(clock), sink_(sink) {}

int ChannelReader::receiveOnce(std::int32_t waitMs) {
    std::array<VciCanFrame, kBatch> records{};
    const std::int32_t n =
        VCI_Receive(ulmar_tools::kDeviceType, device_, channel_, records.data(), kBatch, waitMs);
    if (n <= 0)
        return n < 0 ? -1 : 0;
    std::vector<canlog::LogFrame> frames;
    frames.reserve(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n && i < static_cast<std::int32_t>(kBatch); ++i) {
        const VciCanFrame& record = records[static_cast<std::size_t>(i)];
        canlog::LogFrame frame = ulmar_tools::toLogFrame(record);
        frame.channel = static_cast<std::uint8_t>(channel_);
        frame.timeUs = record.stampValid == 1 ? clock_.toWallClock(channel_, record.stampTicks)
                                              : ulmar_tools::wallClockUs();
        frames.push_back(frame);
    }
    sink_.add(frames);
    return n;
}

// The adapter counts overruns since its start; its low byte is enough when
// read more often than 256 overruns happen.
void ChannelReader::pollOverruns() {
    VciCanStatus status{};
    if (VCI_ReadCANStatus(ulmar_tools::kDeviceType, device_, channel_, &status) != 1)
        return;
    const std::uint8_t now = status.registerImage[kOverrunByte];
    if (haveOverrunBase_)
        overruns_ += static_cast<std::uint8_t>(now - lastOverrunByte_);
    haveOverrunBase_ = true;
    lastOverrunByte_ = now;
}

void ChannelReader::run(const std::function<bool()>& keepGoing) {
    pollOverruns();
    auto nextStatus = std::chrono::steady_clock::now() + kStatusEvery;
    int failures = 0;
    while (keepGoing() && !sink_.finished()) {
        if (receiveOnce(kWaitMs) < 0) {
            if (++failures >= kMaxFailuresInARow) {
                sink_.adapterLost("channel " + std::to_string(channel_) +
                                  ": the adapter stopped answering");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        failures = 0;
        if (std::chrono::steady_clock::now() >= nextStatus) {
            pollOverruns();
            nextStatus = std::chrono::steady_clock::now() + kStatusEvery;
        }
    }
    // What the adapter holds at the stop still goes into the log; frames that
    // arrive after it do not.
    std::int32_t waiting = VCI_GetReceiveNum(ulmar_tools::kDeviceType, device_, channel_);
    while (waiting > 0 && !sink_.finished()) {
        const int got = receiveOnce(0);
        if (got <= 0)
            break;
        waiting -= got;
    }
    pollOverruns();
}
