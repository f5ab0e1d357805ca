#include "usb_gadget_mode.h"

#include <cstdlib>
#include <fstream>
#include <libusb.h>
#include <stdexcept>
#include <thread>

namespace tessel::test {
namespace {

constexpr std::uint16_t kVendorId = 0x04D8;
constexpr std::uint16_t kProductId = 0x0053;

// One context for the whole process: libusb learns of plugged and unplugged
// devices from the moment it exists.
libusb_context* context() {
    static libusb_context* shared = [] {
        libusb_context* created = nullptr;
        if (libusb_init(&created) != 0)
            throw std::runtime_error("libusb_init failed");
        return created;
    }();
    return shared;
}

struct Listed {
    int adapters = 0;   // 04D8:0053 devices libusb knows of
    int configured = 0; // of those, the ones the host has configured
};

Listed adaptersListed() {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context(), &list);
    Listed listed;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0 ||
            descriptor.idVendor != kVendorId || descriptor.idProduct != kProductId)
            continue;
        ++listed.adapters;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(list[i], &config) == 0) {
            libusb_free_config_descriptor(config);
            ++listed.configured;
        }
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    return listed;
}

} // namespace

std::optional<std::string> gadgetFsDirectory() {
    const char* directory = std::getenv("TESSEL_GADGETFS");
    if (directory == nullptr || *directory == '\0')
        return std::nullopt;
    return std::string(directory);
}

bool awaitUsbAdapter(bool present, std::chrono::milliseconds timeout,
                     const std::function<bool()>& ended) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        // Present: configured, so its endpoints serve. Gone: not even
        // listed, so no stale entry can be opened instead of a new one.
        const Listed listed = adaptersListed();
        if (present ? listed.configured > 0 : listed.adapters == 0)
            return true;
        if (ended())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace tessel::test
