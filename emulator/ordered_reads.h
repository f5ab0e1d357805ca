#pragma once

// Reads of one packet each, waiting on several gadgetfs endpoint files at
// once through the kernel's asynchronous I/O (Linux). Completed reads come
// back in the order the kernel completed them, which is the order the USB
// host sent their packets whichever endpoint carried them; blocking reads on
// one thread per endpoint lose that order. Threads: one thread uses an object.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <linux/aio_abi.h>
#include <span>
#include <sys/uio.h>
#include <vector>

namespace emu {

class OrderedReads {
public:
    struct Packet {
        std::size_t file = 0; // index into the files given to the constructor
        long result = 0;      // bytes read, or -errno
        std::span<const std::uint8_t> bytes;
    };

    OrderedReads(const std::vector<int>& files, std::size_t packetSize);
    // Waits a little for reads still queued to end (the owner disconnects
    // the device first); one that does not end keeps the context alive.
    ~OrderedReads();
    OrderedReads(const OrderedReads&) = delete;
    OrderedReads& operator=(const OrderedReads&) = delete;

    bool valid() const { return context_ != 0; }
    // Queues a read of one packet on file `file`, unless one is queued already.
    // False when the kernel refused it.
    bool arm(std::size_t file);
    bool armed(std::size_t file) const { return slots_[file].armed; }
    // Waits up to `timeout` (or until a signal) for reads to complete and
    // returns them, oldest first. A packet's bytes stay valid until its file
    // is armed again.
    std::vector<Packet> wait(std::chrono::milliseconds timeout);

private:
    struct Slot {
        int fd = -1;
        bool armed = false;
        iocb request{};
        iovec vector{};
        std::vector<std::uint8_t> packet;
    };

    aio_context_t context_ = 0;
    std::vector<Slot> slots_; // never resized: the kernel holds pointers into it
};

} // namespace emu
