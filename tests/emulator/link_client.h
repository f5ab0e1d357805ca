#pragma once

// A raw client of the virtual adapter link, for tests that must not depend on
// Ulmar: one connection per pipe, one request at a time.

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace emu::testing {

struct LinkReply {
    std::uint32_t kind = 0;
    std::vector<std::uint8_t> payload;
};

class LinkPipe {
public:
    // Connects to 127.0.0.1:port; check connected().
    explicit LinkPipe(std::uint16_t port);
    ~LinkPipe();
    LinkPipe(const LinkPipe&) = delete;
    LinkPipe& operator=(const LinkPipe&) = delete;

    bool connected() const { return fd_ >= 0; }

    // Sends one message and waits up to `patience` for the reply; nothing when
    // the connection closed or no reply came in time.
    std::optional<LinkReply> request(std::uint32_t kind, const std::vector<std::uint8_t>& payload,
                                     std::chrono::milliseconds patience = std::chrono::seconds(10));
    // Sends raw bytes (for malformed messages).
    bool sendRaw(const std::vector<std::uint8_t>& bytes);
    // True when the server closed the connection within `patience`.
    bool closedByPeer(std::chrono::milliseconds patience = std::chrono::seconds(10));

    // The link's requests; status words decoded.
    std::optional<std::uint32_t> open(std::uint8_t endpoint);
    struct Write {
        std::uint32_t status;
        std::uint32_t taken;
    };
    std::optional<Write> write(const std::vector<std::uint8_t>& bytes);
    struct Read {
        std::uint32_t status;
        std::vector<std::uint8_t> data;
    };
    std::optional<Read> read(std::uint32_t maxLength, std::uint32_t timeoutMs);
    std::optional<Read> descriptor(std::uint8_t type, std::uint8_t index, std::uint16_t language,
                                   std::uint32_t maxLength);

private:
    bool receiveAll(std::uint8_t* data, std::size_t size,
                    std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
};

} // namespace emu::testing
