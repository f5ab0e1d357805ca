#pragma once

// The virtual adapter as a host sees it through its USB pipes: frame blocks on
// endpoints 1 and 3, command and reply packets on 2 and 4, the auxiliary query
// on 5 and 6, descriptors on the control pipe. Transport-free, so tests can
// drive it in-process; the link server maps link messages onto these calls.
//
// Threads: any number of connection threads call in at once. The channels and
// reply queues guard themselves; the adapter's own registers and identity are
// guarded by mutex_.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "channel.h"
#include "command_packet.h"
#include "descriptors.h"
#include "pipe_queue.h"
#include "verbose_log.h"

namespace emu {

struct AdapterSettings {
    AdapterIdentity identity;
    std::size_t receiveCapacity = 4096; // frames per channel
    std::uint32_t auxValue = 1000;      // word 1 of the auxiliary query's reply
    std::array<ControllerFaults, 2> controllerFaults{};
};

struct WriteResult {
    bool done = false;       // false: timed out
    std::uint32_t taken = 0; // bytes accepted
};

struct ReadResult {
    bool data = false; // false: timed out
    std::vector<std::uint8_t> bytes;
};

constexpr std::uint8_t kControlEndpoint = 0x80;

bool isOutEndpoint(std::uint8_t endpoint);
bool isInEndpoint(std::uint8_t endpoint);
inline bool isValidEndpoint(std::uint8_t endpoint) {
    return endpoint == kControlEndpoint || isOutEndpoint(endpoint) || isInEndpoint(endpoint);
}
// Endpoint 1 and 3 (either direction): the frame pipes.
inline bool isFramePipe(std::uint8_t endpoint) {
    return (endpoint & 0x7F) == 1 || (endpoint & 0x7F) == 3;
}

class Adapter {
public:
    using Clock = std::chrono::steady_clock;

    Adapter(const AdapterSettings& settings, VerboseLog& log);

    Channel& channel(int index) { return *channels_[static_cast<std::size_t>(index)]; }

    // Out endpoints 0x01-0x06. Frame blocks may wait for transmit room until
    // the deadline; commands complete at once.
    WriteResult write(std::uint8_t endpoint, std::span<const std::uint8_t> bytes,
                      Clock::time_point deadline);
    // In endpoints 0x81-0x86: waits until data is there or the deadline passes.
    ReadResult read(std::uint8_t endpoint, std::uint32_t maxLength, Clock::time_point deadline);
    // Control pipe; nothing means the request stalls.
    std::optional<std::vector<std::uint8_t>> descriptor(std::uint8_t type, std::uint8_t index,
                                                        std::uint16_t language,
                                                        std::uint32_t maxLength) const;

    AdapterIdentity identity() const;
    // A host opened `endpoint`: replies an earlier host left unread on that
    // in-pipe are dropped, so they are never taken for answers to its queries.
    void pipeOpened(std::uint8_t endpoint);

    // Frames a USB front end has taken for a transfer the host has not
    // fetched yet: they still count as waiting in the channel.
    void setFramesInFlight(int channel, std::size_t count);
    // Called with the channel when the host clears its receive buffer, so
    // that a USB front end drops the frames it holds. Set before serving.
    void onReceiveCleared(std::function<void(int)> callback);
    // Ends every waiting read and write for good (emulator stopping).
    void shutdown();

private:
    // Per channel values the host sets and reads back.
    struct Registers {
        std::uint32_t repeater = 0;
        std::uint32_t value = 0;
        std::array<std::uint32_t, kPacketWords> references{}; // last opcode 4 kind 15
    };

    WriteResult writeFrames(Channel& channel, std::span<const std::uint8_t> bytes,
                            Clock::time_point deadline);
    ReadResult readFrames(Channel& channel, std::uint32_t maxLength, Clock::time_point deadline);
    void handleCommand(int channelIndex, const CommandPacket& packet, PipeQueue& replies);
    std::array<std::uint32_t, kPacketWords> statusReply(int channelIndex) const;
    std::size_t framesWaiting(int channelIndex) const;
    void clearReceived(int channelIndex);
    void initialise(int channelIndex, const CommandPacket& packet);
    void writeDeviceCode(const CommandPacket& packet);
    // Reply queue of an in-endpoint 0x82, 0x84, 0x85 or 0x86; nullptr otherwise.
    PipeQueue* replyQueueOf(std::uint8_t endpoint);
    void clearReplies(int channelIndex);

    const std::uint32_t auxValue_;
    VerboseLog& log_;
    // Fixed after construction; each channel and queue guards itself and is
    // used by the connection threads (channels also by their bus thread).
    std::array<std::unique_ptr<Channel>, 2> channels_;
    std::array<PipeQueue, 2> replyQueues_; // endpoints 0x82 and 0x84
    std::array<PipeQueue, 2> auxQueues_;   // endpoints 0x85 and 0x86

    std::array<std::atomic<std::size_t>, 2> inFlight_{}; // set by a USB front end
    std::function<void(int)> receiveCleared_;            // fixed before serving

    mutable std::mutex mutex_; // guards identity_ and registers_ (connection threads)
    AdapterIdentity identity_;
    std::array<Registers, 2> registers_;
};

} // namespace emu
