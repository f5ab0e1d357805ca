// The virtual adapter's pipes on arbitrary host writes: command packets on
// the command and auxiliary pipes, frame blocks on the frame pipes, each
// followed by a read of the matching in-pipe. The first byte of every chunk
// picks the pipe, the second its length.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "adapter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static emu::VerboseLog log(false);
    emu::AdapterSettings settings;
    settings.receiveCapacity = 64;
    emu::Adapter adapter(settings, log);
    const auto now = std::chrono::steady_clock::now();
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::uint8_t endpoint = static_cast<std::uint8_t>(1 + data[at] % 6);
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        at += 2;
        adapter.write(endpoint, std::span(data + at, length), now);
        at += length;
        adapter.read(static_cast<std::uint8_t>(0x80 | endpoint), 1024, now);
    }
    adapter.shutdown();
    return 0;
}
