// The few socket calls of the virtual adapter link, one file per platform
// (BSD sockets here, Winsock on Windows).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ulmar::link {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Results of receiveSome besides a byte count above 0.
constexpr int kPeerClosed = 0;
constexpr int kReceiveTimedOut = -1;
constexpr int kReceiveFailed = -2;

// Connects to 127.0.0.1:port with Nagle's algorithm off, giving up after
// `timeoutMs`; kNoSocket when nobody answers.
SocketHandle connectLoopback(std::uint16_t port, std::uint32_t timeoutMs);

// Sends every byte; false on any error (never raises SIGPIPE).
bool sendAll(SocketHandle socket, const std::uint8_t* data, std::size_t length);

// Waits at most `timeoutMs` for data, then receives up to `size` bytes.
// Returns the count, kPeerClosed, kReceiveTimedOut or kReceiveFailed.
int receiveSome(SocketHandle socket, std::uint8_t* buffer, std::size_t size,
                std::uint32_t timeoutMs);

void closeSocket(SocketHandle socket);

// The platform's code of the last failed socket call, for diagnostics.
int lastSocketError();

} // namespace ulmar::link
