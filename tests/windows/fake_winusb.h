// WinUSB without a device: a function table whose entries record every call
// and answer as the test sets. Transfers either complete at once, complete
// through the overlapped record (pending first), stay pending until the
// pipe is aborted, or never complete at all (a driver that hangs). Used from the test's thread
// only.
#pragma once

#include "transport/windows/winusb_functions.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace ulmar::test {

enum class FakeCompletion { Immediate, Signalled, NeverUntilAbort, Never };

struct FakeTransfer {
    FakeCompletion completion = FakeCompletion::Immediate;
    std::vector<std::uint8_t> data; // read: what arrives; write: ignored
};

struct FakeWinUsbState {
    bool initializeSucceeds = true;
    std::vector<HANDLE> initializedFiles;
    int freeCalls = 0;
    std::vector<UCHAR> aborted;
    std::vector<std::string> calls;     // "Initialize", "Free", "SetPowerPolicy 129 1 0", ...
    std::deque<FakeTransfer> transfers; // taken by each read or write in turn
    std::vector<std::vector<std::uint8_t>> written;
    std::vector<UCHAR> readPipes;
    std::vector<UCHAR> writePipes;
    std::vector<std::uint8_t> descriptor;
    std::string lastDescriptorRequest; // "type index language size"
};

// The fake's state; reset by InstallFakeWinUsb.
FakeWinUsbState& fakeWinUsb();

// Resets the state and returns a table of all seven fake functions.
WinUsbFunctions InstallFakeWinUsb();

} // namespace ulmar::test
