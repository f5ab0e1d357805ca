// The link's socket calls over Winsock.
#include "transport/link/link_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace ulmar::link {
namespace {

SOCKET sock(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

// Winsock is started once, on the first connection rather than at load,
// because WSAStartup must not run under the loader lock. It stays started
// for the life of the process.
bool startWinsock() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

// Waits until the socket is readable (or writable), or reports an error;
// false on time-out. select() rather than WSAPoll, which misses failed
// connects on older Windows versions.
bool waitFor(SOCKET socket, bool forWrite, std::uint32_t timeoutMs) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval limit{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    const int count =
        ::select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &limit);
    return count > 0;
}

bool setBlocking(SOCKET socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

bool finishConnect(SOCKET socket, std::uint32_t timeoutMs) {
    if (!waitFor(socket, true, timeoutMs))
        return false;
    int error = 0;
    int size = sizeof error;
    return ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) ==
               0 &&
           error == 0;
}

} // namespace

SocketHandle connectLoopback(std::uint16_t port, std::uint32_t timeoutMs) {
    if (!startWinsock())
        return kNoSocket;
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    const bool started =
        setBlocking(socket, false) &&
        (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
         (::WSAGetLastError() == WSAEWOULDBLOCK && finishConnect(socket, timeoutMs)));
    if (!started || !setBlocking(socket, true)) {
        ::closesocket(socket);
        return kNoSocket;
    }
    const BOOL noDelay = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof noDelay);
    return static_cast<SocketHandle>(socket);
}

bool sendAll(SocketHandle socket, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const int chunk = length > 0x10000 ? 0x10000 : static_cast<int>(length);
        const int sent = ::send(sock(socket), reinterpret_cast<const char*>(data), chunk, 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

int receiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t size,
                std::uint32_t timeoutMs) {
    if (!waitFor(sock(socket), false, timeoutMs))
        return kReceiveTimedOut;
    const int chunk = size > 0x10000 ? 0x10000 : static_cast<int>(size);
    const int got = ::recv(sock(socket), reinterpret_cast<char*>(buffer), chunk, 0);
    if (got > 0)
        return got;
    return got == 0 ? kPeerClosed : kReceiveFailed;
}

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket)
        ::closesocket(sock(socket));
}

int lastSocketError() {
    return ::WSAGetLastError();
}

} // namespace ulmar::link
