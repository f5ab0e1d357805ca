// The transport under the protocol: finds adapters, opens and closes the 13
// pipes of a device into its slots of the device table, and moves bytes
// through them with time-outs. Everything above sees only these operations.
#pragma once

#include "transport/pipe_backend.h"

#include <cstdint>

namespace ulmar {

// Looks up device index n over all backends, USB adapters first. Result as
// PipeBackend::findDevicePath; kPathNoSuchAdapter when no backend has it.
int FindDevicePath(int device, char* path, std::uint32_t size, std::uint32_t* length);

// Closes whatever the device had open, then opens its 13 pipes in the fixed
// order. 1 when every required pipe is open (endpoints 5 and 6 are
// optional), else 0; pipes that did open stay open.
int OpenDevicePipes(int device);

// Closes the device's pipes in the fixed order and sets their slots to -1.
void CloseDevicePipes(int device);

// Writes within kWriteTimeoutMs; 1 done, 0 failed or timed out.
int WritePipe(int device, std::int32_t pipe, const std::uint8_t* data, std::uint32_t length,
              std::uint32_t* written);

// Reads up to `length` bytes within `timeoutMs`; 1 when a transfer
// completed (the count may be short), 0 on failure or time-out.
int ReadPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
             std::uint32_t timeoutMs, std::uint32_t* received);

// The 18-byte device descriptor; 1 or 0.
int GetDeviceDescriptor(int device, std::int32_t controlIn, std::uint8_t* buffer18,
                        std::uint32_t* count);

// String descriptor `index` in language 0x0409, at most `size` bytes; 1 or 0.
int GetStringDescriptor(int device, std::int32_t controlIn, std::uint8_t index,
                        std::uint8_t* buffer, std::uint32_t size, std::uint32_t* count);

// Replaces the backends (nullptr: the platform's own). For in-process tests
// only; must not overlap any other call.
void useBackends(PipeBackend* usb, PipeBackend* link);

} // namespace ulmar
