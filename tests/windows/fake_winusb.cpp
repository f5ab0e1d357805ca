#include "fake_winusb.h"

#include <algorithm>
#include <cstring>

namespace ulmar::test {

namespace {

constexpr ULONG_PTR kStatusPending = 0x103;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120;
const WINUSB_INTERFACE_HANDLE kFakeHandle = reinterpret_cast<WINUSB_INTERFACE_HANDLE>(0x5150);

FakeWinUsbState gState;
LPOVERLAPPED gPending = nullptr;
UCHAR gPendingPipe = 0;

void complete(LPOVERLAPPED overlapped, ULONG_PTR status, ULONG count) {
    overlapped->Internal = status;
    overlapped->InternalHigh = count;
    ::SetEvent(overlapped->hEvent);
}

// Runs the next queued transfer; `bytes` is what a read delivers.
BOOL run(UCHAR pipe, PUCHAR buffer, ULONG length, PULONG transferred, LPOVERLAPPED overlapped,
         bool isRead) {
    FakeTransfer next;
    if (!gState.transfers.empty()) {
        next = gState.transfers.front();
        gState.transfers.pop_front();
    }
    ULONG count = length;
    if (isRead) {
        count = static_cast<ULONG>(std::min<std::size_t>(length, next.data.size()));
        std::memcpy(buffer, next.data.data(), count);
    } else {
        gState.written.emplace_back(buffer, buffer + length);
    }
    switch (next.completion) {
    case FakeCompletion::Immediate:
        *transferred = count;
        complete(overlapped, 0, count);
        return TRUE;
    case FakeCompletion::Signalled:
        complete(overlapped, 0, count);
        break;
    case FakeCompletion::NeverUntilAbort:
        overlapped->Internal = kStatusPending;
        gPending = overlapped;
        gPendingPipe = pipe;
        break;
    case FakeCompletion::Never:
        overlapped->Internal = kStatusPending;
        break;
    }
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL WINAPI fakeInitialize(HANDLE file, PWINUSB_INTERFACE_HANDLE handle) {
    gState.calls.push_back("Initialize");
    if (!gState.initializeSucceeds)
        return FALSE;
    gState.initializedFiles.push_back(file);
    *handle = kFakeHandle;
    return TRUE;
}

BOOL WINAPI fakeReadPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe, PUCHAR buffer, ULONG length,
                         PULONG transferred, LPOVERLAPPED overlapped) {
    gState.readPipes.push_back(pipe);
    return run(pipe, buffer, length, transferred, overlapped, true);
}

BOOL WINAPI fakeWritePipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe, PUCHAR buffer, ULONG length,
                          PULONG transferred, LPOVERLAPPED overlapped) {
    gState.writePipes.push_back(pipe);
    return run(pipe, buffer, length, transferred, overlapped, false);
}

BOOL WINAPI fakeAbortPipe(WINUSB_INTERFACE_HANDLE, UCHAR pipe) {
    gState.aborted.push_back(pipe);
    if (gPending != nullptr && gPendingPipe == pipe) {
        complete(gPending, kStatusCancelled, 0);
        gPending = nullptr;
    }
    return TRUE;
}

BOOL WINAPI fakeFree(WINUSB_INTERFACE_HANDLE) {
    gState.calls.push_back("Free");
    ++gState.freeCalls;
    return TRUE;
}

BOOL WINAPI fakeSetPowerPolicy(WINUSB_INTERFACE_HANDLE, ULONG policy, ULONG length, PVOID value) {
    gState.calls.push_back("SetPowerPolicy " + std::to_string(policy) + " " +
                           std::to_string(length) + " " +
                           std::to_string(*static_cast<UCHAR*>(value)));
    return TRUE;
}

BOOL WINAPI fakeGetDescriptor(WINUSB_INTERFACE_HANDLE, UCHAR type, UCHAR index, USHORT language,
                              PUCHAR buffer, ULONG length, PULONG transferred) {
    gState.lastDescriptorRequest = std::to_string(type) + " " + std::to_string(index) + " " +
                                   std::to_string(language) + " " + std::to_string(length);
    const ULONG count = static_cast<ULONG>(std::min<std::size_t>(length, gState.descriptor.size()));
    std::memcpy(buffer, gState.descriptor.data(), count);
    *transferred = count;
    return TRUE;
}

} // namespace

FakeWinUsbState& fakeWinUsb() {
    return gState;
}

WinUsbFunctions InstallFakeWinUsb() {
    gState = FakeWinUsbState{};
    gPending = nullptr;
    WinUsbFunctions f;
    f.WinUsb_Initialize = fakeInitialize;
    f.WinUsb_ReadPipe = fakeReadPipe;
    f.WinUsb_WritePipe = fakeWritePipe;
    f.WinUsb_AbortPipe = fakeAbortPipe;
    f.WinUsb_Free = fakeFree;
    f.WinUsb_SetPowerPolicy = fakeSetPowerPolicy;
    f.WinUsb_GetDescriptor = fakeGetDescriptor;
    return f;
}

} // namespace ulmar::test
