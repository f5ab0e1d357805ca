// Stands in for an adapter on the per-endpoint driver: its interface path and
// the endpoint files "<path>\MCHP_EPn" are named pipes served here, so the
// backend's real file, event and overlapped calls run against them.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ulmar::test {

class NamedPipeDevice {
public:
    // Without endpoint files it serves only the interface path, as a device
    // bound to WinUSB does.
    explicit NamedPipeDevice(bool endpointFiles = true);
    ~NamedPipeDevice();
    NamedPipeDevice(const NamedPipeDevice&) = delete;
    NamedPipeDevice& operator=(const NamedPipeDevice&) = delete;

    // The device interface path.
    const std::string& path() const { return path_; }

    // Puts bytes on endpoint n's in direction (0: the device itself).
    void send(int endpoint, const std::vector<std::uint8_t>& data);

    // Everything the host wrote to endpoint n so far.
    std::vector<std::uint8_t> received(int endpoint);

    // Number of clients that opened endpoint n's file.
    int openCount(int endpoint);

private:
    // Instances per name: an out and an in file open the same name, and an
    // instance whose client closed cannot be opened again.
    static constexpr int kInstances = 16;
    std::string path_;
    std::array<std::array<HANDLE, kInstances>, 7> server_{};
};

} // namespace ulmar::test
