#include "link_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "byte_order.h"

namespace emu::testing {

LinkPipe::LinkPipe(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
    const int one = 1;
    if (fd_ >= 0)
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

LinkPipe::~LinkPipe() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool LinkPipe::sendRaw(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool LinkPipe::receiveAll(std::uint8_t* data, std::size_t size,
                          std::chrono::steady_clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        const ssize_t n = ::recv(fd_, data + done, size - done, 0);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<LinkReply> LinkPipe::request(std::uint32_t kind,
                                           const std::vector<std::uint8_t>& payload,
                                           std::chrono::milliseconds patience) {
    std::vector<std::uint8_t> bytes;
    appendU32(bytes, kind);
    appendU32(bytes, static_cast<std::uint32_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    if (!sendRaw(bytes))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::uint8_t header[8];
    if (!receiveAll(header, sizeof header, deadline))
        return std::nullopt;
    LinkReply reply;
    reply.kind = getU32(header);
    reply.payload.resize(getU32(header + 4));
    if (!receiveAll(reply.payload.data(), reply.payload.size(), deadline))
        return std::nullopt;
    return reply;
}

bool LinkPipe::closedByPeer(std::chrono::milliseconds patience) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(patience.count())) <= 0)
        return false;
    std::uint8_t byte;
    return ::recv(fd_, &byte, 1, MSG_PEEK) <= 0;
}

std::optional<std::uint32_t> LinkPipe::open(std::uint8_t endpoint) {
    const auto reply = request(1, {endpoint});
    if (!reply || reply->kind != 1 || reply->payload.size() != 4)
        return std::nullopt;
    return getU32(reply->payload.data());
}

std::optional<LinkPipe::Write> LinkPipe::write(const std::vector<std::uint8_t>& bytes) {
    const auto reply = request(2, bytes);
    if (!reply || reply->kind != 2 || reply->payload.size() != 8)
        return std::nullopt;
    return Write{getU32(reply->payload.data()), getU32(reply->payload.data() + 4)};
}

std::optional<LinkPipe::Read> LinkPipe::read(std::uint32_t maxLength, std::uint32_t timeoutMs) {
    std::vector<std::uint8_t> payload;
    appendU32(payload, maxLength);
    appendU32(payload, timeoutMs);
    const auto reply = request(3, payload, std::chrono::milliseconds(timeoutMs + 10000));
    if (!reply || reply->kind != 3 || reply->payload.size() < 4)
        return std::nullopt;
    return Read{getU32(reply->payload.data()),
                std::vector<std::uint8_t>(reply->payload.begin() + 4, reply->payload.end())};
}

std::optional<LinkPipe::Read> LinkPipe::descriptor(std::uint8_t type, std::uint8_t index,
                                                   std::uint16_t language,
                                                   std::uint32_t maxLength) {
    std::vector<std::uint8_t> payload{type, index, static_cast<std::uint8_t>(language),
                                      static_cast<std::uint8_t>(language >> 8)};
    appendU32(payload, maxLength);
    const auto reply = request(4, payload);
    if (!reply || reply->kind != 4 || reply->payload.size() < 4)
        return std::nullopt;
    return Read{getU32(reply->payload.data()),
                std::vector<std::uint8_t>(reply->payload.begin() + 4, reply->payload.end())};
}

} // namespace emu::testing
