// Helpers for the end-to-end tests that drive libulmar.so against ulmar-emu.
#pragma once

#include "emu_process.h"
#include "ulmar.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ulmar::e2e {

// Sends the standard output of processes started while it lives (such as a
// verbose ulmar-emu) to a file that the test can read; this process's own
// output goes back to where it was when the object ends its capture. In the
// Windows build the emulators run under a Linux launcher and are told the file.
class ChildOutput {
public:
    ChildOutput();
    ~ChildOutput();
    ChildOutput(const ChildOutput&) = delete;
    ChildOutput& operator=(const ChildOutput&) = delete;

    // Restores this process's standard output; children keep the file.
    void stopCapture();
    std::string text() const;

private:
    std::string path_;
    int savedStdout_ = -1;
};

// True when the tests' emulators are USB gadgets reached through libusb
// (TESSEL_GADGETFS, set in the guest of scripts/test-gadget.sh), not the link.
bool overUsb();

// A loopback port that nobody listens on (bound, then released).
std::uint16_t deadLoopbackPort();

// The endpoints of every "pipe 0xNN opened" line, in order.
std::vector<std::uint8_t> openedPipes(const std::string& log);

// A standard data frame with the given identifier and data bytes.
VciCanFrame dataFrame(std::uint32_t id, std::vector<std::uint8_t> data, bool extended = false);

// InitCAN with the pair and StartCAN on a type 4 device; true if both gave 1.
bool startChannel(std::uint32_t device, std::uint32_t channel, std::uint8_t btr0 = 0x00,
                  std::uint8_t btr1 = 0x14);

// Receives until `count` frames arrived or `timeout` passed; the frames in order.
std::vector<VciCanFrame> receiveFrames(std::uint32_t device, std::uint32_t channel,
                                       std::size_t count,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(10),
                                       std::uint32_t capacity = 48);

} // namespace ulmar::e2e
