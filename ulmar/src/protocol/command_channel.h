// Sending commands and asking queries on a device's pipes.
#pragma once

#include "protocol/command_packet.h"

#include <cstdint>

namespace ulmar {

// Writes the packet to the pipe in `slot`: 1 written, 0 write failed or
// timed out, -1 the pipe is not open. The adapter sends no acknowledgement.
std::int32_t sendCommand(int device, int slot, const CommandPacket& packet);

enum class QueryResult {
    MissingCommandPipe,
    WriteFailed,
    MissingReplyPipe,
    ReadFailed,
    ShortReply,
    Complete,
};

// Writes the packet to `outSlot`, then reads a 64-byte reply from `inSlot`
// within kReplyTimeoutMs. `reply` is filled only when Complete.
QueryResult query(int device, int outSlot, int inSlot, const CommandPacket& packet,
                  ReplyPacket& reply);

} // namespace ulmar
