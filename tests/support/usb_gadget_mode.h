#pragma once

// Running the end-to-end tests through a real USB stack: when
// TESSEL_GADGETFS names the directory where gadgetfs is mounted (as in the
// QEMU guest of scripts/test-gadget.sh), EmuProcess starts ulmar-emu as a USB
// device there instead of on the link, and the tests reach it through libusb.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tessel::test {

// Where the tests' emulators serve USB; nothing when they use the link.
std::optional<std::string> gadgetFsDirectory();

// Waits until libusb lists a configured adapter (04D8:0053), or lists none when
// `present` is false. Returns early with false when `ended` says the emulator
// has ended; false too after `timeout`.
bool awaitUsbAdapter(bool present, std::chrono::milliseconds timeout,
                     const std::function<bool()>& ended);

} // namespace tessel::test
