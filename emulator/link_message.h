#pragma once

// Messages of the virtual adapter link: u32 kind, u32 payload length, payload,
// all little-endian, on a TCP connection.

#include <cstdint>
#include <span>
#include <vector>

namespace emu {

enum class LinkKind : std::uint32_t {
    Open = 1,
    Write = 2,
    Read = 3,
    GetDescriptor = 4,
};

// Largest payload accepted from a host. A frame pipe transfer is at most 1024
// bytes; anything far larger is a broken peer, not a request.
constexpr std::uint32_t kMaxLinkPayload = 64 * 1024;

struct LinkMessage {
    std::uint32_t kind = 0;
    std::vector<std::uint8_t> payload;
};

enum class ReadOutcome { Message, Closed, Malformed };

// Blocks until one whole message arrived. Closed: the peer closed (or the
// socket was shut down) between messages. Malformed: the length is above the
// limit or the connection ended inside a message.
ReadOutcome readMessage(int fd, LinkMessage& message);

// Sends one message; false when the connection is gone.
bool writeMessage(int fd, std::uint32_t kind, std::span<const std::uint8_t> payload);

} // namespace emu
