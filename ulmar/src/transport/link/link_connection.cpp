#include "transport/link/link_connection.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace ulmar::link {
namespace {

constexpr std::uint32_t kHeaderSize = 8;
constexpr std::uint32_t kGraceMs = 1000;
constexpr std::uint32_t kOpenAnswerMs = 1000;
constexpr std::uint32_t kDescriptorAnswerMs = 1000;
// More late replies than this outstanding: the adapter has stopped answering.
constexpr std::uint32_t kMaxLateReplies = 4;
// Largest reply payload the adapter sends (the link's own payload limit).
constexpr std::uint32_t kMaxReplyPayload = 64 * 1024 + 4;

// Reply status words.
constexpr std::uint32_t kStatusOk = 0;

void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

} // namespace

bool LinkConnection::open(std::uint16_t port, std::uint8_t endpoint) {
    close();
    socket_ = connectLoopback(port, kOpenAnswerMs);
    if (socket_ == kNoSocket)
        return false;
    if (!exchange(kOpen, &endpoint, 1, kOpenAnswerMs, 4) || reply_.size() != 4 ||
        getU32(reply_.data()) != kStatusOk) {
        close();
        return false;
    }
    return true;
}

void LinkConnection::close() {
    closeSocket(socket_);
    socket_ = kNoSocket;
    lateReplies_ = 0;
}

int LinkConnection::write(const std::uint8_t* data, std::uint32_t length, std::uint32_t timeoutMs,
                          std::uint32_t* written) {
    if (!exchange(kWrite, data, length, timeoutMs, 8))
        return 0;
    if (reply_.size() != 8 || getU32(reply_.data()) != kStatusOk)
        return 0;
    const std::uint32_t taken = getU32(reply_.data() + 4);
    *written = taken < length ? taken : length;
    return 1;
}

int LinkConnection::read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs,
                         std::uint32_t* received) {
    std::uint8_t request[8];
    putU32(request, length);
    putU32(request + 4, timeoutMs);
    if (!exchange(kRead, request, sizeof request, timeoutMs, 4 + length))
        return 0;
    if (reply_.size() < 4 || getU32(reply_.data()) != kStatusOk)
        return 0;
    const std::uint32_t count = static_cast<std::uint32_t>(reply_.size()) - 4;
    std::memcpy(buffer, reply_.data() + 4, count);
    *received = count;
    return 1;
}

int LinkConnection::getDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t language,
                                  std::uint8_t* buffer, std::uint32_t size, std::uint32_t* count) {
    std::uint8_t request[8] = {type, index, static_cast<std::uint8_t>(language),
                               static_cast<std::uint8_t>(language >> 8)};
    putU32(request + 4, size);
    if (!exchange(kGetDescriptor, request, sizeof request, kDescriptorAnswerMs, 4 + size))
        return 0;
    if (reply_.size() < 4 || getU32(reply_.data()) != kStatusOk)
        return 0;
    const std::uint32_t length = static_cast<std::uint32_t>(reply_.size()) - 4;
    std::memcpy(buffer, reply_.data() + 4, length);
    *count = length;
    return 1;
}

bool LinkConnection::exchange(MessageKind kind, const std::uint8_t* payload, std::uint32_t length,
                              std::uint32_t answerMs, std::uint32_t maxReply) {
    if (socket_ == kNoSocket)
        return false;
    request_.resize(kHeaderSize + length);
    putU32(request_.data(), kind);
    putU32(request_.data() + 4, length);
    if (length > 0)
        std::memcpy(request_.data() + kHeaderSize, payload, length);
    if (!sendAll(socket_, request_.data(), request_.size())) {
        giveUp(lastSocketError());
        return false;
    }
    return receiveReply(kind, answerMs + kGraceMs, maxReply);
}

bool LinkConnection::receiveReply(MessageKind kind, std::uint32_t waitMs, std::uint32_t maxReply) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    if (!dropLateReplies(deadline))
        return false;
    // Requests are strictly one at a time and late replies are gone, so
    // nothing but this reply can arrive: receiving into room for the largest
    // allowed reply never takes bytes of a later message.
    reply_.resize(kHeaderSize + maxReply);
    std::uint32_t have = 0;
    std::uint32_t expected = kHeaderSize;
    while (have < expected) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            // Nothing of the reply yet: it may still come, and is then dropped.
            if (have == 0 && lateReplies_ < kMaxLateReplies) {
                ++lateReplies_;
                return false;
            }
            giveUp(-1);
            return false;
        }
        const std::uint32_t room =
            (expected == kHeaderSize ? static_cast<std::uint32_t>(reply_.size()) : expected) - have;
        const int got = receiveSome(socket_, reply_.data() + have, room,
                                    static_cast<std::uint32_t>(left.count()));
        if (got == kReceiveTimedOut && have == 0 && lateReplies_ < kMaxLateReplies) {
            ++lateReplies_;
            return false;
        }
        if (got <= 0) {
            giveUp(got == kReceiveFailed ? lastSocketError() : -1);
            return false;
        }
        have += static_cast<std::uint32_t>(got);
        if (expected == kHeaderSize && have >= kHeaderSize) {
            const std::uint32_t payload = getU32(reply_.data() + 4);
            if (getU32(reply_.data()) != kind || payload > maxReply) {
                giveUp(-1);
                return false;
            }
            expected = kHeaderSize + payload;
            if (have > expected) {
                giveUp(-1);
                return false;
            }
        }
    }
    reply_.erase(reply_.begin(), reply_.begin() + kHeaderSize);
    reply_.resize(expected - kHeaderSize);
    return true;
}

bool LinkConnection::receiveExactly(std::uint8_t* buffer, std::uint32_t size,
                                    std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    for (std::uint32_t have = 0; have < size;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int got = left.count() > 0 ? receiveSome(socket_, buffer + have, size - have,
                                                       static_cast<std::uint32_t>(left.count()))
                                         : kReceiveTimedOut;
        if (got <= 0) {
            giveUp(got == kReceiveFailed ? lastSocketError() : -1);
            return false;
        }
        have += static_cast<std::uint32_t>(got);
    }
    return true;
}

bool LinkConnection::dropLateReplies(std::chrono::steady_clock::time_point deadline) {
    std::uint8_t scratch[1024];
    while (lateReplies_ > 0) {
        if (!receiveExactly(scratch, kHeaderSize, deadline))
            return false;
        std::uint32_t left = getU32(scratch + 4);
        if (left > kMaxReplyPayload) {
            giveUp(-1);
            return false;
        }
        while (left > 0) {
            const std::uint32_t piece = left < sizeof scratch ? left : sizeof scratch;
            if (!receiveExactly(scratch, piece, deadline))
                return false;
            left -= piece;
        }
        --lateReplies_;
    }
    return true;
}

void LinkConnection::giveUp(int error) {
    std::printf("Error: %d\n", error);
    std::fflush(stdout);
    close();
}

} // namespace ulmar::link
