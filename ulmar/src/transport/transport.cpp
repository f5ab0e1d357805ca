#include "transport/transport.h"

#include "core/library_state.h"

#include <array>

namespace ulmar {
namespace {

// Replacement backends installed by tests; nullptr means the platform's own.
PipeBackend* gUsbOverride = nullptr;
PipeBackend* gLinkOverride = nullptr;

// The backend that opened each device; written only by open and close.
std::array<PipeBackend*, kDeviceCount> gOwner{};

struct PipeSpec {
    int slot;
    std::uint8_t endpoint;
};

// Outs of endpoints 1 to 6, the device itself, then the ins of endpoints 1 to
// 6. Closing walks the same order.
constexpr std::array<PipeSpec, kSlotCount> kPipeOrder{{
    {1, endpointOut(1)},
    {3, endpointOut(2)},
    {7, endpointOut(3)},
    {9, endpointOut(4)},
    {5, endpointOut(5)},
    {11, endpointOut(6)},
    {kControlInSlot, kControlEndpoint},
    {2, endpointIn(1)},
    {4, endpointIn(2)},
    {8, endpointIn(3)},
    {10, endpointIn(4)},
    {6, endpointIn(5)},
    {12, endpointIn(6)},
}};

// The auxiliary pipes of endpoints 5 and 6 are optional.
constexpr std::array<int, 9> kRequiredSlots{1, 3, 7, 9, 0, 2, 4, 8, 10};

PipeBackend& usb() {
    return gUsbOverride != nullptr ? *gUsbOverride : usbBackend();
}
PipeBackend& link() {
    return gLinkOverride != nullptr ? *gLinkOverride : linkBackend();
}

struct Location {
    PipeBackend* backend;
    int adapter;
};

// USB adapters take the first device indices, virtual adapters the next.
Location locate(int device) {
    const int usbCount = usb().adapterCount();
    if (device < usbCount)
        return {&usb(), device};
    return {&link(), device - usbCount};
}

PipeBackend* owner(int device) {
    return gOwner[static_cast<std::size_t>(device)];
}

} // namespace

int FindDevicePath(int device, char* path, std::uint32_t size, std::uint32_t* length) {
    const Location at = locate(device);
    return at.backend->findDevicePath(at.adapter, path, size, length);
}

int OpenDevicePipes(int device) {
    CloseDevicePipes(device);
    const Location at = locate(device);
    if (at.backend->findDevicePath(at.adapter, nullptr, 0, nullptr) != kPathFound ||
        !at.backend->attach(device, at.adapter)) {
        CloseDevicePipes(device);
        return 0;
    }
    gOwner[static_cast<std::size_t>(device)] = at.backend;
    auto& slots = deviceEntry(device).slots;
    for (const PipeSpec& pipe : kPipeOrder)
        slots[static_cast<std::size_t>(pipe.slot)] = at.backend->openPipe(device, pipe.endpoint);
    for (int slot : kRequiredSlots) {
        if (slots[static_cast<std::size_t>(slot)] == kNoPipe)
            return 0;
    }
    return 1;
}

void CloseDevicePipes(int device) {
    PipeBackend* backend = owner(device);
    if (backend == nullptr)
        return;
    auto& slots = deviceEntry(device).slots;
    bool allClosed = true;
    for (const PipeSpec& pipe : kPipeOrder) {
        std::int32_t& value = slots[static_cast<std::size_t>(pipe.slot)];
        if (value == kNoPipe)
            continue;
        if (backend->closePipe(device, value))
            value = kNoPipe;
        else
            allClosed = false;
    }
    // A pipe that would not close keeps its backend, so the next close (or
    // open) of the device tries it again instead of leaving it to nobody.
    if (allClosed) {
        backend->detach(device);
        gOwner[static_cast<std::size_t>(device)] = nullptr;
    }
}

int WritePipe(int device, std::int32_t pipe, const std::uint8_t* data, std::uint32_t length,
              std::uint32_t* written) {
    *written = 0;
    PipeBackend* backend = owner(device);
    if (backend == nullptr || pipe == kNoPipe || data == nullptr)
        return 0;
    return backend->writePipe(device, pipe, data, length, written);
}

int ReadPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
             std::uint32_t timeoutMs, std::uint32_t* received) {
    *received = 0;
    PipeBackend* backend = owner(device);
    if (backend == nullptr || pipe == kNoPipe || buffer == nullptr)
        return 0;
    return backend->readPipe(device, pipe, buffer, length, timeoutMs, received);
}

int GetDeviceDescriptor(int device, std::int32_t controlIn, std::uint8_t* buffer18,
                        std::uint32_t* count) {
    constexpr std::uint8_t kDeviceDescriptorType = 1;
    *count = 0;
    PipeBackend* backend = owner(device);
    if (backend == nullptr || controlIn == kNoPipe)
        return 0;
    return backend->getDescriptor(device, controlIn, kDeviceDescriptorType, 0, 0, buffer18, 18,
                                  count);
}

int GetStringDescriptor(int device, std::int32_t controlIn, std::uint8_t index,
                        std::uint8_t* buffer, std::uint32_t size, std::uint32_t* count) {
    constexpr std::uint8_t kStringDescriptorType = 3;
    constexpr std::uint16_t kLanguageEnglishUs = 0x0409;
    *count = 0;
    PipeBackend* backend = owner(device);
    if (backend == nullptr || controlIn == kNoPipe)
        return 0;
    return backend->getDescriptor(device, controlIn, kStringDescriptorType, index,
                                  kLanguageEnglishUs, buffer, size, count);
}

void useBackends(PipeBackend* usbReplacement, PipeBackend* linkReplacement) {
    gUsbOverride = usbReplacement;
    gLinkOverride = linkReplacement;
    // A replaced backend may already be destroyed: no device may still name it.
    gOwner.fill(nullptr);
}

} // namespace ulmar
