#include "named_pipe_device.h"

#include "transport/windows/device_classes.h"

namespace ulmar::test {

namespace {

std::string uniquePath() {
    static int serial = 0;
    return "\\\\.\\pipe\\ulmar-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(++serial);
}

bool connected(HANDLE server) {
    // A connected instance accepts a peek; a listening one reports so.
    DWORD available = 0;
    return ::PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr) != FALSE;
}

} // namespace

NamedPipeDevice::NamedPipeDevice(bool endpointFiles) : path_(uniquePath()) {
    for (auto& instances : server_)
        instances.fill(INVALID_HANDLE_VALUE);
    for (int endpoint = 0; endpoint < (endpointFiles ? 7 : 1); ++endpoint) {
        const std::string name = endpoint == 0 ? path_ : path_ + EndpointName(endpoint);
        for (HANDLE& server : server_[static_cast<std::size_t>(endpoint)])
            server = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                        PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
    }
}

NamedPipeDevice::~NamedPipeDevice() {
    for (auto& instances : server_)
        for (HANDLE server : instances)
            if (server != INVALID_HANDLE_VALUE)
                ::CloseHandle(server);
}

void NamedPipeDevice::send(int endpoint, const std::vector<std::uint8_t>& data) {
    // The instance behind the host's write-only file just keeps the copy.
    for (HANDLE server : server_[static_cast<std::size_t>(endpoint)]) {
        if (!connected(server))
            continue;
        DWORD written = 0;
        ::WriteFile(server, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    }
}

std::vector<std::uint8_t> NamedPipeDevice::received(int endpoint) {
    std::vector<std::uint8_t> all;
    for (HANDLE server : server_[static_cast<std::size_t>(endpoint)]) {
        DWORD available = 0;
        if (!::PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            continue;
        std::vector<std::uint8_t> chunk(available);
        DWORD read = 0;
        ::ReadFile(server, chunk.data(), available, &read, nullptr);
        all.insert(all.end(), chunk.begin(), chunk.begin() + read);
    }
    return all;
}

int NamedPipeDevice::openCount(int endpoint) {
    int count = 0;
    for (HANDLE server : server_[static_cast<std::size_t>(endpoint)])
        count += connected(server) ? 1 : 0;
    return count;
}

} // namespace ulmar::test
