// One overlapped transfer per call, with its own event and time-out.
#include "transport/windows/slot_handle.h"
#include "transport/windows/windows_usb_backend.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace ulmar {

namespace {

// How long a cancelled transfer may take to settle. A driver that never
// completes it must not hold the caller for ever.
constexpr DWORD kCancelSettleMs = 2000;

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

// What the system uses while a transfer is under way: the overlapped record,
// its event and the bytes. On the heap, so that a transfer whose cancel never
// settles can be left to the system instead of freeing memory it still writes.
struct TransferRecord {
    OVERLAPPED overlapped{};
    TransferEvent event;
    std::vector<std::uint8_t> bytes;
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
HANDLE WindowsUsbBackend::overlappedOwner(int device, std::int32_t pipe, bool winusb) const {
    return winusb ? deviceState(device).deviceFile : HandleOfSlot(pipe);
}

void WindowsUsbBackend::cancel(int device, std::int32_t pipe, bool winusb, OVERLAPPED& overlapped) {
    if (winusb)
        winusb_.WinUsb_AbortPipe(deviceState(device).winusbHandle, static_cast<UCHAR>(pipe));
    else
        ::CancelIoEx(HandleOfSlot(pipe), &overlapped);
}

int WindowsUsbBackend::transfer(int device, std::int32_t pipe, bool isRead, std::uint8_t* buffer,
                                std::uint32_t length, std::uint32_t timeoutMs,
                                std::uint32_t* count) {
    *count = 0;
    const bool winusb = viaWinUsb(device, pipe);
    if (winusb && (buffer == nullptr || pipe == kNoPipe)) {
        ::SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    auto record = std::make_unique<TransferRecord>();
    if (record->event.get() == nullptr)
        return 0;
    OVERLAPPED& overlapped = record->overlapped;
    overlapped.hEvent = record->event.get();
    if (buffer != nullptr) {
        if (isRead)
            record->bytes.resize(length);
        else
            record->bytes.assign(buffer, buffer + length);
    }
    std::uint8_t* const bytes = buffer != nullptr ? record->bytes.data() : nullptr;
    // Hands what a read brought to the caller.
    const auto deliver = [&](DWORD done) {
        if (isRead && done > 0)
            std::memcpy(buffer, bytes, done);
        *count = done;
        return 1;
    };

    DWORD done = 0;
    BOOL completed = FALSE;
    if (winusb) {
        const WINUSB_INTERFACE_HANDLE handle = deviceState(device).winusbHandle;
        const auto pipeId = static_cast<UCHAR>(pipe);
        completed =
            isRead ? winusb_.WinUsb_ReadPipe(handle, pipeId, bytes, length, &done, &overlapped)
                   : winusb_.WinUsb_WritePipe(handle, pipeId, bytes, length, &done, &overlapped);
    } else {
        const HANDLE file = HandleOfSlot(pipe);
        completed = isRead ? ::ReadFile(file, bytes, length, &done, &overlapped)
                           : ::WriteFile(file, bytes, length, &done, &overlapped);
    }
    if (completed)
        return deliver(done);

    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF)
        return 0;
    if (error != ERROR_IO_PENDING) {
        cancel(device, pipe, winusb, overlapped);
        return 0;
    }

    const HANDLE owner = overlappedOwner(device, pipe, winusb);
    const DWORD waitMs = isRead ? timeoutMs : kWriteTimeoutMs;
    if (::WaitForSingleObject(record->event.get(), waitMs) != WAIT_OBJECT_0) {
        cancel(device, pipe, winusb, overlapped);
        // The system owns the record until the cancelled transfer settles. A
        // transfer that completed just before the cancel took hold keeps its
        // data rather than losing it; one that never settles keeps its
        // record, which is given up to the system.
        if (::WaitForSingleObject(record->event.get(), kCancelSettleMs) != WAIT_OBJECT_0) {
            static_cast<void>(record.release());
            return 0;
        }
        if (::GetOverlappedResult(owner, &overlapped, &done, FALSE) && done > 0)
            return deliver(done);
        return 0;
    }
    if (!::GetOverlappedResult(owner, &overlapped, &done, FALSE)) {
        std::printf("Error: %d\n", static_cast<int>(::GetLastError()));
        std::fflush(stdout);
        cancel(device, pipe, winusb, overlapped);
        return 0;
    }
    if (winusb)
        winusb_.WinUsb_AbortPipe(deviceState(device).winusbHandle, static_cast<UCHAR>(pipe));
    return deliver(done);
}

} // namespace ulmar
