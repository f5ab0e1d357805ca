#include "link_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "byte_order.h"

namespace emu {
namespace {

constexpr std::size_t kMaxConnections = 128;
// A host never needs more than a few frame blocks or one packet per read;
// the cap keeps a hostile length from allocating gigabytes.
constexpr std::uint32_t kMaxReadLength = 64 * 1024;

std::string endpointName(std::uint8_t endpoint) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", endpoint);
    return text;
}

std::vector<std::uint8_t> statusPayload(std::uint32_t status) {
    std::vector<std::uint8_t> payload;
    appendU32(payload, status);
    return payload;
}

} // namespace

LinkServer::LinkServer(Adapter& adapter, FaultPlan faults, VerboseLog& log)
    : adapter_(adapter), faults_(std::move(faults)), log_(log) {}

LinkServer::~LinkServer() {
    stop();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

bool LinkServer::listen(std::string& error) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
        return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
}

void LinkServer::start() {
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

void LinkServer::stop() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && !acceptThread_.joinable())
            return;
        stopping_ = true;
        if (listenFd_ >= 0)
            ::shutdown(listenFd_, SHUT_RDWR);
        for (auto& [id, worker] : workers_) {
            if (!worker.finished)
                ::shutdown(worker.fd, SHUT_RDWR);
        }
    }
    stopped_.notify_all();
    adapter_.shutdown();
    if (acceptThread_.joinable())
        acceptThread_.join();
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, worker] : workers_)
            threads.push_back(std::move(worker.thread));
        workers_.clear();
    }
    for (auto& t : threads)
        t.join();
}

void LinkServer::acceptLoop() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            continue; // e.g. out of descriptors: keep serving the others
        }
        reapFinished();
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(mutex_);
        if (stopping_ || workers_.size() >= kMaxConnections) {
            ::close(fd);
            if (stopping_)
                return;
            continue;
        }
        const std::uint64_t id = nextId_++;
        Worker& worker = workers_[id];
        worker.fd = fd;
        worker.thread = std::thread([this, fd, id] { serve(Connection{fd, id, std::nullopt}); });
    }
}

void LinkServer::reapFinished() {
    std::vector<std::thread> done;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (it->second.finished) {
                done.push_back(std::move(it->second.thread));
                it = workers_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : done)
        t.join();
}

void LinkServer::serve(Connection c) {
    LinkMessage message;
    for (;;) {
        const ReadOutcome outcome = readMessage(c.fd, message);
        if (outcome == ReadOutcome::Malformed)
            log_.print("connection " + std::to_string(c.id) + ": malformed message, closing");
        if (outcome != ReadOutcome::Message || !handle(c, message))
            break;
    }
    if (c.endpoint)
        log_.print("pipe " + endpointName(*c.endpoint) + " closed (connection " +
                   std::to_string(c.id) + ")");
    {
        std::lock_guard lock(mutex_);
        auto it = workers_.find(c.id);
        if (it != workers_.end())
            it->second.finished = true;
    }
    ::close(c.fd);
}

bool LinkServer::handle(Connection& c, const LinkMessage& message) {
    if (message.kind == static_cast<std::uint32_t>(LinkKind::Open))
        return handleOpen(c, message);
    if (!c.endpoint) {
        log_.print("connection " + std::to_string(c.id) + ": request before OPEN, closing");
        return false;
    }
    switch (faults_.onRequest(*c.endpoint)) {
    case RequestFate::Drop:
        log_.print("fault: dropping the link");
        dropAllConnections();
        return false;
    case RequestFate::Mute:
        return true; // swallowed: the host waits in vain
    case RequestFate::Answer:
        break;
    }
    switch (static_cast<LinkKind>(message.kind)) {
    case LinkKind::Write:
        return handleWrite(c, message);
    case LinkKind::Read:
        return handleRead(c, message);
    case LinkKind::GetDescriptor:
        return handleDescriptor(c, message);
    default:
        log_.print("connection " + std::to_string(c.id) + ": unknown message kind " +
                   std::to_string(message.kind) + ", closing");
        return false;
    }
}

bool LinkServer::handleOpen(Connection& c, const LinkMessage& message) {
    if (c.endpoint || message.payload.size() != 1)
        return false;
    const std::uint8_t endpoint = message.payload[0];
    const bool open = isValidEndpoint(endpoint) && !faults_.refusesOpen(endpoint);
    if (open) {
        c.endpoint = endpoint;
        adapter_.pipeOpened(endpoint);
    }
    log_.print("pipe " + endpointName(endpoint) + (open ? " opened" : " refused") +
               " (connection " + std::to_string(c.id) + ")");
    return writeMessage(c.fd, message.kind, statusPayload(open ? 0 : 1));
}

bool LinkServer::handleWrite(Connection& c, const LinkMessage& message) {
    if (!isOutEndpoint(*c.endpoint))
        return false;
    WriteResult result;
    if (faults_.stallsWrite(*c.endpoint))
        stallFor(faults_.plan().writeTimeout);
    else
        result = adapter_.write(*c.endpoint, message.payload,
                                std::chrono::steady_clock::now() + faults_.plan().writeTimeout);
    auto payload = statusPayload(result.done ? 0 : 1);
    appendU32(payload, result.taken);
    return writeMessage(c.fd, message.kind, payload);
}

bool LinkServer::handleRead(Connection& c, const LinkMessage& message) {
    if (!isInEndpoint(*c.endpoint) || message.payload.size() != 8)
        return false;
    const std::uint32_t maxLength = std::min(getU32(message.payload.data()), kMaxReadLength);
    const std::chrono::milliseconds timeout(getU32(message.payload.data() + 4));
    ReadResult result;
    if (faults_.stallsRead(*c.endpoint))
        stallFor(timeout);
    else
        result = adapter_.read(*c.endpoint, maxLength, std::chrono::steady_clock::now() + timeout);
    if (result.data && isFramePipe(*c.endpoint))
        faults_.mangleFrameRead(result.bytes);
    auto payload = statusPayload(result.data ? 0 : 1);
    payload.insert(payload.end(), result.bytes.begin(), result.bytes.end());
    return writeMessage(c.fd, message.kind, payload);
}

bool LinkServer::handleDescriptor(Connection& c, const LinkMessage& message) {
    if (*c.endpoint != kControlEndpoint || message.payload.size() != 8)
        return false;
    const auto& p = message.payload;
    const auto descriptor = adapter_.descriptor(p[0], p[1], getU16(&p[2]), getU32(&p[4]));
    auto payload = statusPayload(descriptor ? 0 : 1);
    if (descriptor)
        payload.insert(payload.end(), descriptor->begin(), descriptor->end());
    return writeMessage(c.fd, message.kind, payload);
}

void LinkServer::stallFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    stopped_.wait_for(lock, time, [&] { return stopping_; });
}

void LinkServer::dropAllConnections() {
    std::lock_guard lock(mutex_);
    for (auto& [id, worker] : workers_) {
        if (!worker.finished)
            ::shutdown(worker.fd, SHUT_RDWR);
    }
}

} // namespace emu
