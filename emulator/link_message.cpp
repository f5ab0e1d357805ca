#include "link_message.h"

#include <cerrno>
#include <sys/socket.h>

#include "byte_order.h"

namespace emu {
namespace {

// Returns the bytes read: `size` on success, less when the peer closed or an
// error occurred.
std::size_t receiveAll(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::recv(fd, data + done, size - done, 0);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return done;
}

bool sendAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

ReadOutcome readMessage(int fd, LinkMessage& message) {
    std::uint8_t header[8];
    const std::size_t got = receiveAll(fd, header, sizeof header);
    if (got == 0)
        return ReadOutcome::Closed;
    if (got < sizeof header)
        return ReadOutcome::Malformed;
    message.kind = getU32(header);
    const std::uint32_t length = getU32(header + 4);
    if (length > kMaxLinkPayload)
        return ReadOutcome::Malformed;
    message.payload.resize(length);
    if (receiveAll(fd, message.payload.data(), length) < length)
        return ReadOutcome::Malformed;
    return ReadOutcome::Message;
}

bool writeMessage(int fd, std::uint32_t kind, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(8 + payload.size());
    appendU32(bytes, kind);
    appendU32(bytes, static_cast<std::uint32_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return sendAll(fd, bytes.data(), bytes.size());
}

} // namespace emu
