// An in-process stand-in for an adapter behind the transport: records every
// pipe operation and answers reads and descriptor requests from a script.
#pragma once

#include "transport/pipe_backend.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <vector>

namespace ulmar::test {

struct RecordedWrite {
    int device;
    std::int32_t pipe;
    std::vector<std::uint8_t> bytes;
};

struct RecordedRead {
    int device;
    std::int32_t pipe;
    std::uint32_t length;
    std::uint32_t timeoutMs;
};

// One scripted answer to a read: `ok` false makes the read fail.
struct ScriptedRead {
    bool ok = true;
    std::vector<std::uint8_t> bytes;
};

class FakeBackend final : public PipeBackend {
public:
    int adapters = 1;
    std::set<std::uint8_t> refusedEndpoints;
    std::set<std::int32_t> stuckPipes; // closePipe fails for these
    std::deque<int> writeResults;      // consumed per write; empty means success
    std::map<std::int32_t, std::deque<ScriptedRead>> readScript; // per pipe; empty: time-out
    // Descriptor bytes by (type << 8 | index); missing means stall.
    std::map<int, std::vector<std::uint8_t>> descriptors;

    std::vector<std::uint8_t> openedEndpoints;
    std::vector<std::int32_t> closedPipes;
    std::vector<int> attachedDevices;
    std::vector<RecordedWrite> writes;
    std::vector<RecordedRead> reads;
    int descriptorRequests = 0;

    // Any call that reaches the adapter (open, close, transfer, descriptor).
    int traffic() const;

    // Frame blocks written to `pipe`, each 64 bytes.
    std::vector<std::vector<std::uint8_t>> writtenBlocks(std::int32_t pipe) const;

    int adapterCount() override { return adapters; }
    int findDevicePath(int adapter, char* path, std::uint32_t size, std::uint32_t* length) override;
    bool attach(int device, int adapter) override;
    std::int32_t openPipe(int device, std::uint8_t endpoint) override;
    bool closePipe(int device, std::int32_t pipe) override;
    void detach(int) override {}
    int writePipe(int device, std::int32_t pipe, const std::uint8_t* data, std::uint32_t length,
                  std::uint32_t* written) override;
    int readPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
                 std::uint32_t timeoutMs, std::uint32_t* received) override;
    int getDescriptor(int device, std::int32_t controlIn, std::uint8_t type, std::uint8_t index,
                      std::uint16_t language, std::uint8_t* buffer, std::uint32_t size,
                      std::uint32_t* count) override;
};

// A 64-byte block holding `count` in byte 0 and the given wire frames.
std::vector<std::uint8_t> frameBlock(std::uint8_t count,
                                     const std::vector<std::vector<std::uint8_t>>& wireFrames);

// A 21-byte wire frame with the given identifier, format and first data byte.
std::vector<std::uint8_t> wireFrame(std::uint32_t id, bool extended = false,
                                    std::uint8_t firstByte = 0);

// `n` blocks of 3 standard frames with consecutive identifiers from `firstId`.
std::vector<std::uint8_t> fullBlocks(int n, std::uint32_t firstId);

// A 64-byte reply packet with the given words from word 0 on.
std::vector<std::uint8_t> replyWords(const std::vector<std::uint32_t>& words);

// The little-endian word `k` of a written packet.
std::uint32_t wordOf(const std::vector<std::uint8_t>& packet, int k);

} // namespace ulmar::test
