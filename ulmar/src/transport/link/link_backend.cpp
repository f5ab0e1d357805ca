// The virtual adapter link as a pipe backend: each device index bound to a
// virtual adapter holds one connection per open pipe. A pipe's slot value is
// its endpoint address (0x01-0x06 out, 0x81-0x86 in, 0x80 the device).
#include "transport/link/link_connection.h"
#include "transport/link/link_discovery.h"
#include "transport/pipe_backend.h"

#include <array>
#include <cstring>
#include <string>

namespace ulmar {
namespace {

constexpr int kPipesPerDevice = 13;
constexpr int kDevices = 10;

// Connection index of an endpoint address, or -1 for an address outside the
// adapter's endpoints.
int pipeIndex(std::int32_t endpoint) {
    if (endpoint >= 0x01 && endpoint <= 0x06)
        return endpoint - 0x01;
    if (endpoint >= 0x81 && endpoint <= 0x86)
        return 6 + endpoint - 0x81;
    if (endpoint == kControlEndpoint)
        return 12;
    return -1;
}

class LinkBackend final : public PipeBackend {
public:
    int adapterCount() override {
        std::vector<link::AdapterFile> adapters;
        link::listReachableAdapters(adapters);
        return static_cast<int>(adapters.size());
    }

    int findDevicePath(int adapter, char* path, std::uint32_t size,
                       std::uint32_t* length) override {
        std::vector<link::AdapterFile> adapters;
        if (!link::listReachableAdapters(adapters))
            return kPathListFailed;
        if (adapter < 0 || adapter >= static_cast<int>(adapters.size()))
            return kPathNoSuchAdapter;
        const std::string text = adapters[static_cast<std::size_t>(adapter)].path.string();
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
        std::vector<link::AdapterFile> adapters;
        if (!link::listReachableAdapters(adapters) || adapter < 0 ||
            adapter >= static_cast<int>(adapters.size()))
            return false;
        devices_[static_cast<std::size_t>(device)].port =
            adapters[static_cast<std::size_t>(adapter)].port;
        return true;
    }

    std::int32_t openPipe(int device, std::uint8_t endpoint) override {
        Device& entry = devices_[static_cast<std::size_t>(device)];
        link::LinkConnection* pipe = connection(device, endpoint);
        if (pipe == nullptr || entry.port == 0 || !pipe->open(entry.port, endpoint))
            return kNoPipe;
        return endpoint;
    }

    bool closePipe(int device, std::int32_t pipe) override {
        if (link::LinkConnection* open = connection(device, pipe))
            open->close();
        return true;
    }

    void detach(int device) override { devices_[static_cast<std::size_t>(device)].port = 0; }

    int writePipe(int device, std::int32_t pipe, const std::uint8_t* data, std::uint32_t length,
                  std::uint32_t* written) override {
        link::LinkConnection* open = connection(device, pipe);
        return open != nullptr ? open->write(data, length, kWriteTimeoutMs, written) : 0;
    }

    int readPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t timeoutMs, std::uint32_t* received) override {
        link::LinkConnection* open = connection(device, pipe);
        return open != nullptr ? open->read(buffer, length, timeoutMs, received) : 0;
    }

    int getDescriptor(int device, std::int32_t controlIn, std::uint8_t type, std::uint8_t index,
                      std::uint16_t language, std::uint8_t* buffer, std::uint32_t size,
                      std::uint32_t* count) override {
        if (controlIn != kControlEndpoint)
            return 0;
        link::LinkConnection* open = connection(device, controlIn);
        return open != nullptr ? open->getDescriptor(type, index, language, buffer, size, count)
                               : 0;
    }

private:
    // Written by attach/detach and open/close only; transfers on different
    // pipes use different connections.
    struct Device {
        std::uint16_t port = 0;
        std::array<link::LinkConnection, kPipesPerDevice> pipes;
    };

    link::LinkConnection* connection(int device, std::int32_t endpoint) {
        const int index = pipeIndex(endpoint);
        if (device < 0 || device >= kDevices || index < 0)
            return nullptr;
        return &devices_[static_cast<std::size_t>(device)].pipes[static_cast<std::size_t>(index)];
    }

    std::array<Device, kDevices> devices_;
};

LinkBackend gLinkBackend;

} // namespace

PipeBackend& linkBackend() {
    return gLinkBackend;
}

} // namespace ulmar
