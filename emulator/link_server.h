#pragma once

// Serves the virtual adapter link on 127.0.0.1: one TCP connection per open
// pipe, requests strictly one at a time per connection, one thread per
// connection. A malformed message closes its connection and nothing else.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "adapter.h"
#include "fault_plan.h"
#include "link_message.h"
#include "verbose_log.h"

namespace emu {

class LinkServer {
public:
    LinkServer(Adapter& adapter, FaultPlan faults, VerboseLog& log);
    ~LinkServer();
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    // Binds an ephemeral port; false with a reason in `error` on failure.
    bool listen(std::string& error);
    std::uint16_t port() const { return port_; }
    void start();
    // Closes the listener and every connection, ends held requests, joins all threads.
    void stop();

private:
    struct Connection {
        int fd = -1;
        std::uint64_t id = 0;
        std::optional<std::uint8_t> endpoint;
    };
    struct Worker {
        int fd = -1;
        bool finished = false;
        std::thread thread;
    };

    void acceptLoop();
    void reapFinished();
    void serve(Connection connection);
    // False: close the connection (bad request or dropped link).
    bool handle(Connection& c, const LinkMessage& message);
    bool handleOpen(Connection& c, const LinkMessage& message);
    bool handleWrite(Connection& c, const LinkMessage& message);
    bool handleRead(Connection& c, const LinkMessage& message);
    bool handleDescriptor(Connection& c, const LinkMessage& message);
    // Sleeps like a stalled transfer; ends early when the server stops.
    void stallFor(std::chrono::milliseconds time);
    void dropAllConnections();

    Adapter& adapter_;
    FaultInjector faults_; // used by every connection thread; guards its own counters
    VerboseLog& log_;
    // Set by listen() before any thread starts; the accept thread accepts on
    // it and stop() shuts it down, which is what ends accept().
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;

    // Guards workers_, stopping_ and nextId_: the accept thread adds workers,
    // connection threads mark themselves finished, stop() and a link drop shut
    // sockets down. Only a worker's own thread closes its fd, after it has
    // left the map's "live" state, so no fd is shut down after reuse.
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::map<std::uint64_t, Worker> workers_;
    std::uint64_t nextId_ = 1;
    bool stopping_ = false;
};

} // namespace emu
