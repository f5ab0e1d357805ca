#include "transport/link/link_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ulmar::link {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

int fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

// Waits for `events` on the socket; true when ready, false on time-out or error.
bool waitFor(int socket, short events, std::uint32_t timeoutMs) {
    pollfd entry{socket, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(timeoutMs));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

bool finishConnect(int socket, std::uint32_t timeoutMs) {
    if (!waitFor(socket, POLLOUT, timeoutMs))
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        errno = error;
        return false;
    }
    return true;
}

} // namespace

SocketHandle connectLoopback(std::uint16_t port, std::uint32_t timeoutMs) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0)
        return kNoSocket;
    const int flags = ::fcntl(socket, F_GETFL, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::fcntl(socket, F_SETFL, flags | O_NONBLOCK);
    const int started =
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const bool connected =
        started == 0 || (errno == EINPROGRESS && finishConnect(socket, timeoutMs));
    if (!connected) {
        ::close(socket);
        return kNoSocket;
    }
    ::fcntl(socket, F_SETFL, flags);
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
#ifdef SO_NOSIGPIPE
    ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    return socket;
}

bool sendAll(SocketHandle socket, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t sent = ::send(fd(socket), data, length, kSendFlags);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

int receiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t size,
                std::uint32_t timeoutMs) {
    if (!waitFor(fd(socket), POLLIN, timeoutMs))
        return kReceiveTimedOut;
    for (;;) {
        const ssize_t got = ::recv(fd(socket), buffer, size, 0);
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0)
            return kPeerClosed;
        if (errno != EINTR)
            return kReceiveFailed;
    }
}

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket)
        ::close(fd(socket));
}

int lastSocketError() {
    return errno;
}

} // namespace ulmar::link
