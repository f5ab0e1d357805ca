// One way of reaching adapters: a USB stack or the virtual adapter link.
// The transport numbers the adapters of the USB backend first, then those of
// the link, and hands every operation on an open device to the backend that
// opened it.
#pragma once

#include <cstdint>

namespace ulmar {

// Value of a pipe slot that holds no open pipe.
constexpr std::int32_t kNoPipe = -1;

// Time-out of every pipe write.
constexpr std::uint32_t kWriteTimeoutMs = 1000;

// Results of findDevicePath, shared by all backends.
enum FindResult : int {
    kPathBufferTooSmall = 0,
    kPathFound = 1,
    kPathListFailed = 2,
    kPathNoSuchAdapter = 3,
    kPathNotConfirmed = 4,
};

// Endpoint addresses: n out = n, n in = 0x80 + n; the device's control pipe 0x80.
constexpr std::uint8_t kControlEndpoint = 0x80;
constexpr std::uint8_t endpointIn(int n) {
    return static_cast<std::uint8_t>(0x80 + n);
}
constexpr std::uint8_t endpointOut(int n) {
    return static_cast<std::uint8_t>(n);
}

// Every call with a device index runs on the thread the library's
// concurrency rules allow: open/close never overlap anything, transfers on
// different pipes may run on different threads at once.
class PipeBackend {
public:
    virtual ~PipeBackend() = default;

    // Number of adapters reachable now; enumerates afresh on every call.
    virtual int adapterCount() = 0;

    // Looks up the backend's adapter number `adapter` (0-based). With a
    // buffer, copies the path and its terminator; with `length`, stores the
    // path length. Returns a FindResult.
    virtual int findDevicePath(int adapter, char* path, std::uint32_t size,
                               std::uint32_t* length) = 0;

    // Binds device index `device` to adapter `adapter` before its pipes open.
    virtual bool attach(int device, int adapter) = 0;

    // Opens one pipe of an attached device; returns its slot value or kNoPipe.
    virtual std::int32_t openPipe(int device, std::uint8_t endpoint) = 0;

    // Closes one pipe; false if it could not be closed (the slot keeps its value).
    virtual bool closePipe(int device, std::int32_t pipe) = 0;

    // Releases what attach took, after the device's pipes are closed.
    virtual void detach(int device) = 0;

    // One transfer each; 1 when it completed in time (count stored), else 0.
    virtual int writePipe(int device, std::int32_t pipe, const std::uint8_t* data,
                          std::uint32_t length, std::uint32_t* written) = 0;
    virtual int readPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
                         std::uint32_t timeoutMs, std::uint32_t* received) = 0;

    // A standard descriptor request on the control pipe; 1 or 0.
    virtual int getDescriptor(int device, std::int32_t controlIn, std::uint8_t type,
                              std::uint8_t index, std::uint16_t language, std::uint8_t* buffer,
                              std::uint32_t size, std::uint32_t* count) = 0;
};

// The platform's USB backend: libusb on Linux and macOS, WinUSB and the
// per-endpoint driver on Windows. Lives for the whole process.
PipeBackend& usbBackend();

// The virtual adapter link, on every platform. Lives for the whole process.
PipeBackend& linkBackend();

} // namespace ulmar
