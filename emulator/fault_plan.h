#pragma once

// Faults the emulator can inject for tests, chosen on the command line, and
// the counters that decide when they strike.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace emu {

// "after N requests", optionally counting only those on one endpoint.
struct RequestTrigger {
    std::uint32_t after = 0;
    std::optional<std::uint8_t> endpoint;
};

struct FaultPlan {
    std::optional<RequestTrigger> dropAfter;           // then close every connection, once
    std::optional<RequestTrigger> muteAfter;           // then never answer again
    std::map<std::uint8_t, std::uint32_t> stallWrites; // endpoint -> writes that still succeed
    std::map<std::uint8_t, std::uint32_t> stallReads;  // endpoint -> reads that still succeed
    std::set<std::uint8_t> refusedPipes;
    std::uint32_t shortReadBytes = 0; // frame-in replies lose this many bytes at the end
    std::uint32_t badCountEvery = 0;  // every n-th full frame-in block gets count byte 0xC8
    std::chrono::milliseconds writeTimeout{1000};
    bool unterminatedReads = false; // USB: frame reads end without a short packet
};

// "N" or "N@EP"; "EP" or "EP:N"; endpoints as 0x.. hex or decimal.
bool parseRequestTrigger(const std::string& text, RequestTrigger& out);
bool parseEndpointCount(const std::string& text, std::uint8_t& endpoint, std::uint32_t& count);
bool parseEndpoint(const std::string& text, std::uint8_t& endpoint);

enum class RequestFate { Answer, Drop, Mute };

// Runtime side of a FaultPlan. Threads: all connection threads; counters are
// guarded by mutex_.
class FaultInjector {
public:
    explicit FaultInjector(FaultPlan plan) : plan_(std::move(plan)) {}

    const FaultPlan& plan() const { return plan_; }
    bool refusesOpen(std::uint8_t endpoint) const { return plan_.refusedPipes.count(endpoint) > 0; }
    // Counts one request and says what happens to it.
    RequestFate onRequest(std::uint8_t endpoint);
    bool stallsWrite(std::uint8_t endpoint);
    bool stallsRead(std::uint8_t endpoint);
    // Bad count bytes and short replies on a frame-in read reply.
    void mangleFrameRead(std::vector<std::uint8_t>& bytes);

private:
    static bool counts(const RequestTrigger& t, std::uint8_t endpoint) {
        return !t.endpoint || *t.endpoint == endpoint;
    }
    bool stalls(const std::map<std::uint8_t, std::uint32_t>& limits,
                std::map<std::uint8_t, std::uint32_t>& done, std::uint8_t endpoint);

    const FaultPlan plan_;
    std::mutex mutex_;
    std::uint64_t dropCount_ = 0;
    bool dropped_ = false;
    std::uint64_t muteCount_ = 0;
    std::map<std::uint8_t, std::uint32_t> writesDone_;
    std::map<std::uint8_t, std::uint32_t> readsDone_;
    std::uint64_t fullBlocks_ = 0;
};

} // namespace emu
