// The link client's framing against a scripted peer on a loopback socket:
// replies split into pieces, wrong or oversized replies, time-out status.
#include "transport/link/link_connection.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace ulmar::link;

namespace {

using Bytes = std::vector<uint8_t>;

void putU32(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes message(uint32_t kind, const Bytes& payload) {
    Bytes bytes;
    putU32(bytes, kind);
    putU32(bytes, static_cast<uint32_t>(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

Bytes status(uint32_t value, const Bytes& more = {}) {
    Bytes bytes;
    putU32(bytes, value);
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

bool readExactly(int fd, uint8_t* at, size_t n) {
    while (n > 0) {
        const ssize_t got = ::recv(fd, at, n, 0);
        if (got <= 0)
            return false;
        at += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

// Accepts one connection and answers each request, in order, with the next
// scripted reply, sent in pieces of `piece` bytes. Requests are recorded.
// Thread: runs on its own thread; the test reads `requests` after join().
class ScriptedPeer {
public:
    ScriptedPeer(std::vector<Bytes> replies, size_t piece = 1 << 20)
        : replies_(std::move(replies)), piece_(piece) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedPeer() { join(); }

    uint16_t port() const { return port_; }
    void join() {
        if (thread_.joinable())
            thread_.join();
        if (listener_ >= 0)
            ::close(listener_);
        listener_ = -1;
    }
    std::vector<Bytes> requests;

private:
    void serve() {
        const int fd = ::accept(listener_, nullptr, nullptr);
        for (const Bytes& reply : replies_) {
            uint8_t header[8];
            if (!readExactly(fd, header, 8))
                break;
            const uint32_t length = header[4] | header[5] << 8 | header[6] << 16 |
                                    static_cast<uint32_t>(header[7]) << 24;
            Bytes request(header, header + 8);
            request.resize(8 + length);
            if (!readExactly(fd, request.data() + 8, length))
                break;
            requests.push_back(request);
            for (size_t at = 0; at < reply.size(); at += piece_) {
                ::send(fd, reply.data() + at, std::min(piece_, reply.size() - at), MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        ::close(fd);
    }

    std::vector<Bytes> replies_;
    size_t piece_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

const Bytes kOpened = message(kOpen, status(0));

} // namespace

TEST(LinkConnection, RequestsAndRepliesInPieces) {
    ScriptedPeer peer({kOpened, message(kWrite, status(0, {64, 0, 0, 0})),
                       message(kRead, status(0, {1, 2, 3})),
                       message(kGetDescriptor, status(0, {18, 1, 0x10}))},
                      3);
    LinkConnection pipe;
    ASSERT_TRUE(pipe.open(peer.port(), 0x81));
    const Bytes block(64, 0xAB);
    uint32_t count = 0;
    EXPECT_EQ(pipe.write(block.data(), 64, 1000, &count), 1);
    EXPECT_EQ(count, 64u);
    uint8_t buffer[16] = {};
    EXPECT_EQ(pipe.read(buffer, 16, 100, &count), 1);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(pipe.getDescriptor(1, 0, 0x0409, buffer, 18, &count), 1);
    EXPECT_EQ(count, 3u);
    pipe.close();
    peer.join();
    ASSERT_EQ(peer.requests.size(), 4u);
    EXPECT_EQ(peer.requests[0], message(kOpen, {0x81}));
    EXPECT_EQ(peer.requests[1], message(kWrite, block));
    EXPECT_EQ(peer.requests[2], message(kRead, {16, 0, 0, 0, 100, 0, 0, 0}));
    EXPECT_EQ(peer.requests[3], message(kGetDescriptor, {1, 0, 0x09, 0x04, 18, 0, 0, 0}));
}

TEST(LinkConnection, TimedOutStatusFailsOnlyThatTransfer) {
    ScriptedPeer peer({kOpened, message(kWrite, status(1, {0, 0, 0, 0})), message(kRead, status(1)),
                       message(kGetDescriptor, status(1)), message(kRead, status(0, {7}))});
    LinkConnection pipe;
    ASSERT_TRUE(pipe.open(peer.port(), 0x01));
    uint8_t buffer[8] = {};
    uint32_t count = 99;
    EXPECT_EQ(pipe.write(buffer, 8, 1000, &count), 0);
    EXPECT_EQ(pipe.read(buffer, 8, 100, &count), 0);
    EXPECT_EQ(pipe.getDescriptor(3, 2, 0x0409, buffer, 8, &count), 0) << "stall";
    EXPECT_EQ(pipe.read(buffer, 8, 100, &count), 1) << "the pipe stays usable";
    EXPECT_EQ(buffer[0], 7);
}

TEST(LinkConnection, MalformedRepliesGiveUpTheConnection) {
    struct Case {
        const char* what;
        Bytes reply;
    };
    const Case cases[] = {
        {"reply of another kind", message(kWrite, status(0, {1, 2}))},
        {"more data than asked", message(kRead, status(0, Bytes(9, 1)))},
        {"peer closes", {}},
    };
    for (const Case& c : cases) {
        std::vector<Bytes> replies{kOpened, c.reply};
        ScriptedPeer peer(replies);
        LinkConnection pipe;
        ASSERT_TRUE(pipe.open(peer.port(), 0x81));
        uint8_t buffer[8] = {};
        uint32_t count = 0;
        EXPECT_EQ(pipe.read(buffer, 8, 100, &count), 0) << c.what;
        EXPECT_EQ(pipe.read(buffer, 8, 100, &count), 0) << c.what << ": stays failed";
        peer.join();
        EXPECT_EQ(peer.requests.size(), 2u) << c.what << ": nothing sent after giving up";
    }
}

TEST(LinkConnection, RefusedOpenAndNoListener) {
    ScriptedPeer peer({message(kOpen, status(1))});
    LinkConnection pipe;
    EXPECT_FALSE(pipe.open(peer.port(), 0x05));
    peer.join();
    EXPECT_FALSE(pipe.open(peer.port(), 0x05)) << "nobody listens any more";
}

namespace {

// Answers the open at once, then holds the reply to the first request until
// the second request has arrived, and answers that one at once too: the
// first reply is late for sure, however loaded the machine is.
class LatePeer {
public:
    LatePeer(Bytes late, Bytes next) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, late, next] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (takeRequest(fd)) {
                ::send(fd, kOpened.data(), kOpened.size(), MSG_NOSIGNAL);
                if (takeRequest(fd) && takeRequest(fd)) {
                    ::send(fd, late.data(), late.size(), MSG_NOSIGNAL);
                    ::send(fd, next.data(), next.size(), MSG_NOSIGNAL);
                }
            }
            ::close(fd);
        });
    }
    ~LatePeer() {
        thread_.join();
        ::close(listener_);
    }
    uint16_t port() const { return port_; }

private:
    static bool takeRequest(int fd) {
        uint8_t header[8];
        if (!readExactly(fd, header, 8))
            return false;
        Bytes payload(header[4] | header[5] << 8);
        return readExactly(fd, payload.data(), payload.size());
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

} // namespace

TEST(LinkConnection, LateReplyIsDroppedAndThePipeStaysUsable) {
    LatePeer peer(message(kRead, status(0, {1, 1, 1})), message(kRead, status(0, {2, 2})));
    LinkConnection pipe;
    ASSERT_TRUE(pipe.open(peer.port(), 0x81));
    uint8_t buffer[8] = {};
    uint32_t count = 0;
    EXPECT_EQ(pipe.read(buffer, 8, 50, &count), 0) << "no reply in time";
    ASSERT_EQ(pipe.read(buffer, 8, 50, &count), 1);
    EXPECT_EQ(count, 2u) << "the answer to this request, not the late one";
    EXPECT_EQ(buffer[0], 2);
}
