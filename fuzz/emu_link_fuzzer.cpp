// The emulator's link message reader on an arbitrary byte stream from a host.
#include <cstddef>
#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

#include "link_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    // Kept small by the fuzzer's -max_len, so the socket buffer takes it whole.
    const ssize_t written = ::write(fds[0], data, size);
    ::close(fds[0]);
    if (written == static_cast<ssize_t>(size)) {
        emu::LinkMessage message;
        while (emu::readMessage(fds[1], message) == emu::ReadOutcome::Message)
            if (message.payload.size() > emu::kMaxLinkPayload)
                __builtin_trap();
    }
    ::close(fds[1]);
    return 0;
}
