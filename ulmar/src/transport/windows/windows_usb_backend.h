// Adapters on the USB bus under Windows, bound either to the per-endpoint
// driver (one file per endpoint) or to WinUSB (one device file, pipes named by
// endpoint address). The process-wide flag `transportMode`, switched by every
// successful path lookup, decides how the next pipe opens; once open, each
// slot keeps the kind it was opened as, so looking up an adapter on the other
// driver never redirects the transfers of one that is open.
#pragma once

#include "core/library_state.h"
#include "transport/pipe_backend.h"
#include "transport/windows/windows_platform.h"
#include "transport/windows/winusb_functions.h"

#include <array>
#include <string>
#include <vector>

namespace ulmar {

// WinUSB state of one device index.
struct WinUsbDeviceState {
    HANDLE deviceFile = INVALID_HANDLE_VALUE; // the interface path, opened for WinUSB
    WINUSB_INTERFACE_HANDLE winusbHandle = INVALID_HANDLE_VALUE;
    bool winusbReady = false; // WinUsb_Initialize succeeded and the handle is live
    int pipeRefs = 0;         // open pipe slots sharing the WinUSB handle
    int adapter = -1;         // interface number bound by attach
};

// All state changes in the lookups, opens and closes, which must not overlap
// any transfer; transfers on different pipes only read the state, so they may
// run on different threads at once.
class WindowsUsbBackend final : public PipeBackend {
public:
    // `winusb` holds what was bound at load; empty when WinUSB is missing.
    WindowsUsbBackend(WindowsPlatform& platform, const WinUsbFunctions& winusb);

    int adapterCount() override;
    int findDevicePath(int adapter, char* path, std::uint32_t size, std::uint32_t* length) override;
    bool attach(int device, int adapter) override;
    std::int32_t openPipe(int device, std::uint8_t endpoint) override;
    bool closePipe(int device, std::int32_t pipe) override;
    void detach(int device) override;
    int writePipe(int device, std::int32_t pipe, const std::uint8_t* data, std::uint32_t length,
                  std::uint32_t* written) override;
    int readPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t timeoutMs, std::uint32_t* received) override;
    int getDescriptor(int device, std::int32_t controlIn, std::uint8_t type, std::uint8_t index,
                      std::uint16_t language, std::uint8_t* buffer, std::uint32_t size,
                      std::uint32_t* count) override;

    // 1 = WinUSB, 0 = per-endpoint files.
    int transportMode() const { return transportMode_; }
    bool winusbAvailable() const { return winusbAvailable_; }
    const WinUsbDeviceState& deviceState(int device) const;

private:
    // Interface n of class A if it exists, else of class B; result as FindResult.
    int FindDevicePath(int n, char* buffer, std::uint32_t size, std::uint32_t* length);
    bool CheckDeviceRegistry(const std::string& path);
    bool confirmedUnder(const GUID& interfaceClass, const std::string& registryPath);

    // endpoint 0 is the device itself; direction 0 = out, 1 = in.
    std::int32_t OpenPipe(int endpoint, int device, int direction);
    std::int32_t openEndpointFile(int device, int endpoint, int direction);
    bool ReleasePipeRef(int device);

    int transfer(int device, std::int32_t pipe, bool isRead, std::uint8_t* buffer,
                 std::uint32_t length, std::uint32_t timeoutMs, std::uint32_t* count);
    void cancel(int device, std::int32_t pipe, bool winusb, OVERLAPPED& overlapped);
    HANDLE overlappedOwner(int device, std::int32_t pipe, bool winusb) const;

    // True when the slot holds a WinUSB pipe identifier rather than the
    // handle of an endpoint file the device opened.
    bool viaWinUsb(int device, std::int32_t pipe) const;

    WinUsbDeviceState& state(int device) { return devices_[static_cast<std::size_t>(device)]; }

    WindowsPlatform& platform_;
    const WinUsbFunctions winusb_;
    const bool winusbAvailable_;
    int transportMode_ = 0;
    std::array<WinUsbDeviceState, kDeviceCount> devices_{};
    // Slot values of the endpoint files each device has open. Closes and
    // transfers go by these rather than by the process-wide flag, which a
    // lookup of another adapter (or of this one, during a fallback) may have
    // switched since.
    std::array<std::vector<std::int32_t>, kDeviceCount> endpointFiles_{};
};

} // namespace ulmar
