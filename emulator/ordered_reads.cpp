#include "ordered_reads.h"

#include <algorithm>
#include <sys/syscall.h>
#include <unistd.h>

namespace emu {
namespace {

// How long the destructor waits for queued reads to end.
constexpr auto kEndingReads = std::chrono::seconds(2);

} // namespace

OrderedReads::OrderedReads(const std::vector<int>& files, std::size_t packetSize)
    : slots_(files.size()) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        slots_[i].fd = files[i];
        slots_[i].packet.resize(packetSize);
    }
    if (::syscall(SYS_io_setup, static_cast<unsigned>(files.size()), &context_) != 0)
        context_ = 0;
}

OrderedReads::~OrderedReads() {
    if (context_ == 0)
        return;
    // Cancelling a queued gadgetfs read hangs the kernel (the controller
    // completes it from inside the cancel), so the context goes only once
    // every read has ended; disconnecting the device ends them.
    const auto armed = [this] {
        return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.armed; });
    };
    const auto deadline = std::chrono::steady_clock::now() + kEndingReads;
    while (armed() && std::chrono::steady_clock::now() < deadline)
        wait(std::chrono::milliseconds(100));
    if (!armed())
        ::syscall(SYS_io_destroy, context_);
}

bool OrderedReads::arm(std::size_t file) {
    Slot& slot = slots_[file];
    if (slot.armed)
        return true;
    slot.vector = {slot.packet.data(), slot.packet.size()};
    slot.request = {};
    slot.request.aio_data = file;
    slot.request.aio_lio_opcode = IOCB_CMD_PREADV;
    slot.request.aio_fildes = static_cast<std::uint32_t>(slot.fd);
    slot.request.aio_buf = reinterpret_cast<std::uintptr_t>(&slot.vector);
    slot.request.aio_nbytes = 1; // one vector
    iocb* requests[] = {&slot.request};
    slot.armed = ::syscall(SYS_io_submit, context_, 1L, requests) == 1;
    return slot.armed;
}

std::vector<OrderedReads::Packet> OrderedReads::wait(std::chrono::milliseconds timeout) {
    std::vector<io_event> events(slots_.size());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    timespec limit{static_cast<time_t>(seconds.count()),
                   static_cast<long>((timeout - seconds).count() * 1000000)};
    const long got = ::syscall(SYS_io_getevents, context_, 1L, static_cast<long>(events.size()),
                               events.data(), &limit);
    std::vector<Packet> packets;
    for (long i = 0; i < got; ++i) {
        const io_event& event = events[static_cast<std::size_t>(i)];
        const auto file = static_cast<std::size_t>(event.data);
        Slot& slot = slots_[file];
        slot.armed = false;
        const long result = static_cast<long>(event.res);
        const std::size_t length = result > 0 ? static_cast<std::size_t>(result) : 0;
        packets.push_back({file, result, std::span(slot.packet.data(), length)});
    }
    return packets;
}

} // namespace emu
