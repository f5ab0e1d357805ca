#pragma once

// One adapter opened through Ulmar for a tool's run: the device and the
// channels the tool started. A receiving session resets its channels when it
// ends; a sending one leaves them started, so that a ulmar-dump on the same
// adapter keeps hearing the bus. Either way the device is closed.

#include <cstdint>
#include <string>
#include <vector>

namespace ulmar_tools {

// Ulmar's device type for this adapter.
constexpr std::uint32_t kDeviceType = 4;

class AdapterSession {
public:
    enum class Use { Receive, Send };
    explicit AdapterSession(Use use) : use_(use) {}
    ~AdapterSession();
    AdapterSession(const AdapterSession&) = delete;
    AdapterSession& operator=(const AdapterSession&) = delete;

    // False and a message when the device does not open.
    bool open(std::uint32_t deviceIndex, std::string& error);
    // Initialises the channel at the bit rate (normal or listen-only) and
    // starts it; a receiving session first drops frames left in the adapter
    // from an earlier user. False and a message on failure.
    bool startChannel(std::uint32_t channel, std::int32_t bitRate, bool listenOnly,
                      std::string& error);

    std::uint32_t deviceIndex() const { return device_; }

private:
    const Use use_;
    bool open_ = false;
    std::uint32_t device_ = 0;
    std::vector<std::uint32_t> started_;
};

// True if the bit rate is one the adapter can be set to.
bool isSupportedBitRate(std::int32_t bitRate);
// The rates in bit/s, for messages and --help.
inline constexpr const char* kBitRateHelp =
    "5000 10000 20000 40000 50000 80000 100000 125000 200000 250000 400000 500000 666000 "
    "800000 1000000";

// The bus mode Ulmar passes to the adapter for listen-only reception.
constexpr std::uint8_t kListenOnlyMode = 1;

} // namespace ulmar_tools
