// One pipe of a virtual adapter: a TCP connection that carries strictly one
// request at a time. Messages both ways are u32 kind, u32 payload length,
// payload, all little-endian.
#pragma once

#include "transport/link/link_socket.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace ulmar::link {

enum MessageKind : std::uint32_t {
    kOpen = 1,
    kWrite = 2,
    kRead = 3,
    kGetDescriptor = 4,
};

// Used by one thread at a time: the thread that owns the pipe's transfers,
// or open/close, which never overlap transfers.
class LinkConnection {
public:
    LinkConnection() = default;
    LinkConnection(const LinkConnection&) = delete;
    LinkConnection& operator=(const LinkConnection&) = delete;
    ~LinkConnection() { close(); }

    // Connects and asks the adapter to open `endpoint`; true when it did.
    bool open(std::uint16_t port, std::uint8_t endpoint);
    void close();

    // Transfers as the transport defines them: 1 done, 0 failed or timed out.
    int write(const std::uint8_t* data, std::uint32_t length, std::uint32_t timeoutMs,
              std::uint32_t* written);
    int read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs,
             std::uint32_t* received);
    int getDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t language,
                      std::uint8_t* buffer, std::uint32_t size, std::uint32_t* count);

private:
    // Sends one request and receives its reply payload into reply_. The
    // adapter answers within `answerMs`; the link allows one second more.
    // A reply that has not begun by then is counted as late: it is read and
    // dropped before the next reply, so the pipe stays usable. Any other
    // failure (closed, malformed, a reply cut off) gives the connection up.
    bool exchange(MessageKind kind, const std::uint8_t* payload, std::uint32_t length,
                  std::uint32_t answerMs, std::uint32_t maxReply);
    bool receiveReply(MessageKind kind, std::uint32_t waitMs, std::uint32_t maxReply);
    // Reads exactly `size` bytes before the deadline; false gives up.
    bool receiveExactly(std::uint8_t* buffer, std::uint32_t size,
                        std::chrono::steady_clock::time_point deadline);
    // Drops the replies of requests that timed out; false gives up.
    bool dropLateReplies(std::chrono::steady_clock::time_point deadline);
    void giveUp(int error);

    SocketHandle socket_ = kNoSocket;
    // Replies still to come for requests that timed out.
    std::uint32_t lateReplies_ = 0;
    std::vector<std::uint8_t> request_;
    std::vector<std::uint8_t> reply_;
};

} // namespace ulmar::link
