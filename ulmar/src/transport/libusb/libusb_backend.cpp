// Adapters on a real USB bus through libusb-1.0 (Linux, macOS). Kept thin:
// a pipe's slot value is its endpoint address, 0x80 for the device itself.
#include "transport/pipe_backend.h"

#include <libusb.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace ulmar {
namespace {

constexpr std::uint16_t kVendorId = 0x04D8;
constexpr std::uint16_t kProductId = 0x0053;
constexpr int kInterface = 0;
constexpr int kDevices = 10;

bool isAdapter(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    return libusb_get_device_descriptor(device, &descriptor) == 0 &&
           descriptor.idVendor == kVendorId && descriptor.idProduct == kProductId;
}

// The adapter's endpoints that its active configuration really has.
bool hasEndpoint(libusb_device* device, std::uint8_t address) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0)
        return false;
    bool found = false;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        for (int a = 0; a < config->interface[i].num_altsetting && !found; ++a) {
            const libusb_interface_descriptor& alt = config->interface[i].altsetting[a];
            for (int e = 0; e < alt.bNumEndpoints && !found; ++e)
                found = alt.endpoint[e].bEndpointAddress == address;
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}

// The adapters on the bus, in libusb's enumeration order; the list owns them.
class AdapterList {
public:
    explicit AdapterList(libusb_context* context) {
        if (context == nullptr)
            return;
        const ssize_t count = libusb_get_device_list(context, &all_);
        if (count < 0) {
            all_ = nullptr;
            return;
        }
        for (ssize_t i = 0; i < count; ++i) {
            if (isAdapter(all_[i]))
                adapters_.push_back(all_[i]);
        }
    }
    ~AdapterList() {
        if (all_ != nullptr)
            libusb_free_device_list(all_, 1);
    }
    AdapterList(const AdapterList&) = delete;
    AdapterList& operator=(const AdapterList&) = delete;

    bool valid() const { return all_ != nullptr; }
    int size() const { return static_cast<int>(adapters_.size()); }
    libusb_device* at(int adapter) const { return adapters_[static_cast<std::size_t>(adapter)]; }

private:
    libusb_device** all_ = nullptr;
    std::vector<libusb_device*> adapters_;
};

std::string pathOf(libusb_device* device) {
    std::array<std::uint8_t, 8> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
    std::string path = "usb:" + std::to_string(libusb_get_bus_number(device));
    for (int i = 0; i < depth; ++i)
        path += (i == 0 ? "-" : ".") + std::to_string(ports[static_cast<std::size_t>(i)]);
    return path;
}

class LibusbBackend final : public PipeBackend {
public:
    ~LibusbBackend() override {
        if (context_ != nullptr)
            libusb_exit(context_);
    }

    int adapterCount() override {
        AdapterList list(context());
        return list.size();
    }

    int findDevicePath(int adapter, char* path, std::uint32_t size,
                       std::uint32_t* length) override {
        AdapterList list(context());
        if (!list.valid())
            return kPathListFailed;
        if (adapter < 0 || adapter >= list.size())
            return kPathNoSuchAdapter;
        const std::string text = pathOf(list.at(adapter));
        if (length != nullptr)
            *length = static_cast<std::uint32_t>(text.size());
        if (path != nullptr) {
            if (size <= text.size())
                return kPathBufferTooSmall;
            std::memcpy(path, text.c_str(), text.size() + 1);
        }
        return kPathFound;
    }

    bool attach(int device, int adapter) override {
        AdapterList list(context());
        if (adapter < 0 || adapter >= list.size())
            return false;
        Device& entry = devices_[static_cast<std::size_t>(device)];
        if (libusb_open(list.at(adapter), &entry.handle) != 0) {
            entry.handle = nullptr;
            return false;
        }
        libusb_set_auto_detach_kernel_driver(entry.handle, 1);
        if (libusb_claim_interface(entry.handle, kInterface) != 0) {
            libusb_close(entry.handle);
            entry.handle = nullptr;
            return false;
        }
        return true;
    }

    std::int32_t openPipe(int device, std::uint8_t endpoint) override {
        libusb_device_handle* handle = devices_[static_cast<std::size_t>(device)].handle;
        if (handle == nullptr)
            return kNoPipe;
        if (endpoint != kControlEndpoint && !hasEndpoint(libusb_get_device(handle), endpoint))
            return kNoPipe;
        return endpoint;
    }

    bool closePipe(int, std::int32_t) override { return true; }

    void detach(int device) override {
        Device& entry = devices_[static_cast<std::size_t>(device)];
        if (entry.handle == nullptr)
            return;
        libusb_release_interface(entry.handle, kInterface);
        libusb_close(entry.handle);
        entry.handle = nullptr;
    }

    int writePipe(int device, std::int32_t pipe, const std::uint8_t* data, std::uint32_t length,
                  std::uint32_t* written) override {
        return bulk(device, pipe, const_cast<std::uint8_t*>(data), length, kWriteTimeoutMs,
                    written);
    }

    int readPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t timeoutMs, std::uint32_t* received) override {
        return bulk(device, pipe, buffer, length, timeoutMs, received);
    }

    int getDescriptor(int device, std::int32_t, std::uint8_t type, std::uint8_t index,
                      std::uint16_t language, std::uint8_t* buffer, std::uint32_t size,
                      std::uint32_t* count) override {
        constexpr std::uint8_t kGetDescriptorRequest = 0x06;
        constexpr unsigned kControlTimeoutMs = 1000;
        libusb_device_handle* handle = devices_[static_cast<std::size_t>(device)].handle;
        if (handle == nullptr || buffer == nullptr)
            return 0;
        const int got =
            libusb_control_transfer(handle, LIBUSB_ENDPOINT_IN, kGetDescriptorRequest,
                                    static_cast<std::uint16_t>(type << 8 | index), language, buffer,
                                    static_cast<std::uint16_t>(size), kControlTimeoutMs);
        if (got < 0) {
            std::printf("Get dsc error: %d\n", got);
            std::fflush(stdout);
            return 0;
        }
        *count = static_cast<std::uint32_t>(got);
        return 1;
    }

private:
    struct Device {
        libusb_device_handle* handle = nullptr;
    };

    // Created on first use and kept for the life of the process, like the
    // open devices that depend on it. Open and close never overlap other
    // calls, so this needs no guard.
    libusb_context* context() {
        if (context_ == nullptr && libusb_init(&context_) != 0)
            context_ = nullptr;
        return context_;
    }

    int bulk(int device, std::int32_t pipe, std::uint8_t* data, std::uint32_t length,
             std::uint32_t timeoutMs, std::uint32_t* transferred) {
        libusb_device_handle* handle = devices_[static_cast<std::size_t>(device)].handle;
        if (handle == nullptr || pipe == kNoPipe || pipe == kControlEndpoint)
            return 0;
        int done = 0;
        const int result = libusb_bulk_transfer(handle, static_cast<unsigned char>(pipe), data,
                                                static_cast<int>(length), &done, timeoutMs);
        if (result == LIBUSB_ERROR_TIMEOUT) {
            // libusb may time out after part of a read arrived; those bytes
            // have left the adapter, so they are handed over, not dropped.
            if (done == 0 || (pipe & LIBUSB_ENDPOINT_IN) == 0)
                return 0;
        } else if (result != 0) {
            std::printf("Error: %d\n", result);
            std::fflush(stdout);
            return 0;
        }
        *transferred = static_cast<std::uint32_t>(done);
        return 1;
    }

    libusb_context* context_ = nullptr;
    std::array<Device, kDevices> devices_;
};

LibusbBackend gUsbBackend;

} // namespace

PipeBackend& usbBackend() {
    return gUsbBackend;
}

} // namespace ulmar
