// One overlapped transfer per call, with its own event and time-out.
#include "transport/windows/slot_handle.h"
#include "transport/windows/windows_usb_backend.h"

#include <cstdio>

namespace ulmar {

namespace {

// The event of one transfer: auto-reset, initially clear, closed at the end
// of the call.
class TransferEvent {
public:
    TransferEvent() : event_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~TransferEvent() {
        if (event_ != nullptr)
            ::CloseHandle(event_);
    }
    TransferEvent(const TransferEvent&) = delete;
    TransferEvent& operator=(const TransferEvent&) = delete;

    HANDLE get() const { return event_; }

private:
    HANDLE event_;
};

} // namespace

int WindowsUsbBackend::writePipe(int device, std::int32_t pipe, const std::uint8_t* data,
                                 std::uint32_t length, std::uint32_t* written) {
    // Writes never modify the buffer; the shared transfer takes it mutable.
    return transfer(device, pipe, false, const_cast<std::uint8_t*>(data), length, kWriteTimeoutMs,
                    written);
}

int WindowsUsbBackend::readPipe(int device, std::int32_t pipe, std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t timeoutMs,
                                std::uint32_t* received) {
    return transfer(device, pipe, true, buffer, length, timeoutMs, received);
}

// The handle whose overlapped record the transfer uses.
HANDLE WindowsUsbBackend::overlappedOwner(int device, std::int32_t pipe) const {
    return viaWinUsb() ? deviceState(device).deviceFile : HandleOfSlot(pipe);
}

void WindowsUsbBackend::cancel(int device, std::int32_t pipe, OVERLAPPED& overlapped) {
    if (viaWinUsb())
        winusb_.WinUsb_AbortPipe(deviceState(device).winusbHandle, static_cast<UCHAR>(pipe));
    else
        ::CancelIoEx(HandleOfSlot(pipe), &overlapped);
}

int WindowsUsbBackend::transfer(int device, std::int32_t pipe, bool isRead, std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t timeoutMs,
                                std::uint32_t* count) {
    *count = 0;
    const bool winusb = viaWinUsb();
    if (winusb && (buffer == nullptr || pipe == kNoPipe)) {
        ::SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    TransferEvent event;
    if (event.get() == nullptr)
        return 0;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();

    DWORD done = 0;
    BOOL completed = FALSE;
    if (winusb) {
        const WINUSB_INTERFACE_HANDLE handle = deviceState(device).winusbHandle;
        const auto pipeId = static_cast<UCHAR>(pipe);
        completed =
            isRead ? winusb_.WinUsb_ReadPipe(handle, pipeId, buffer, length, &done, &overlapped)
                   : winusb_.WinUsb_WritePipe(handle, pipeId, buffer, length, &done, &overlapped);
    } else {
        const HANDLE file = HandleOfSlot(pipe);
        completed = isRead ? ::ReadFile(file, buffer, length, &done, &overlapped)
                           : ::WriteFile(file, buffer, length, &done, &overlapped);
    }
    if (completed) {
        *count = done;
        return 1;
    }

    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF)
        return 0;
    if (error != ERROR_IO_PENDING) {
        cancel(device, pipe, overlapped);
        return 0;
    }

    const HANDLE owner = overlappedOwner(device, pipe);
    const DWORD waitMs = isRead ? timeoutMs : kWriteTimeoutMs;
    if (::WaitForSingleObject(event.get(), waitMs) != WAIT_OBJECT_0) {
        cancel(device, pipe, overlapped);
        // The system still owns the overlapped record and the buffer until the
        // cancelled transfer has settled, so wait for that before returning.
        // A transfer that completed just before the cancel took hold keeps
        // its data rather than losing it.
        if (::GetOverlappedResult(owner, &overlapped, &done, TRUE) && done > 0) {
            *count = done;
            return 1;
        }
        return 0;
    }
    if (!::GetOverlappedResult(owner, &overlapped, &done, FALSE)) {
        std::printf("Error: %d\n", static_cast<int>(::GetLastError()));
        std::fflush(stdout);
        cancel(device, pipe, overlapped);
        return 0;
    }
    *count = done;
    if (winusb)
        winusb_.WinUsb_AbortPipe(deviceState(device).winusbHandle, static_cast<UCHAR>(pipe));
    return 1;
}

} // namespace ulmar
