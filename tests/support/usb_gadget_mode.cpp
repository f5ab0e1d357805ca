#include "usb_gadget_mode.h"

#include <cstdlib>
#include <filesystem>
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

int adaptersListed() {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context(), &list);
    int adapters = 0;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) == 0 &&
            descriptor.idVendor == kVendorId && descriptor.idProduct == kProductId)
            ++adapters;
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    return adapters;
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
        if ((adaptersListed() > 0) == present)
            return true;
        if (ended())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void setUsbConnected(bool connected) {
    const std::filesystem::path controllers("/sys/class/udc");
    std::error_code error;
    for (const auto& controller : std::filesystem::directory_iterator(controllers, error)) {
        std::ofstream out(controller.path() / "soft_connect");
        out << (connected ? "connect" : "disconnect") << '\n';
        out.flush();
        if (!out)
            throw std::runtime_error("cannot write " + (controller.path() / "soft_connect").string());
        return;
    }
    throw std::runtime_error("no USB device controller in /sys/class/udc");
}

} // namespace tessel::test
