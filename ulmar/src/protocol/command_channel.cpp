#include "protocol/command_channel.h"

#include "core/library_state.h"
#include "transport/transport.h"

namespace ulmar {
namespace {

std::int32_t pipeIn(int device, int slot) {
    return deviceEntry(device).slots[static_cast<std::size_t>(slot)];
}

} // namespace

std::int32_t sendCommand(int device, int slot, const CommandPacket& packet) {
    const std::int32_t pipe = pipeIn(device, slot);
    if (pipe == kNoPipe)
        return -1;
    const PacketBytes bytes = packet.encode();
    std::uint32_t written = 0;
    return WritePipe(device, pipe, bytes.data(), kPacketSize, &written) == 1 ? 1 : 0;
}

QueryResult query(int device, int outSlot, int inSlot, const CommandPacket& packet,
                  ReplyPacket& reply) {
    switch (sendCommand(device, outSlot, packet)) {
    case -1:
        return QueryResult::MissingCommandPipe;
    case 0:
        return QueryResult::WriteFailed;
    default:
        break;
    }
    const std::int32_t pipe = pipeIn(device, inSlot);
    if (pipe == kNoPipe)
        return QueryResult::MissingReplyPipe;
    PacketBytes bytes{};
    std::uint32_t received = 0;
    if (ReadPipe(device, pipe, bytes.data(), kPacketSize, kReplyTimeoutMs, &received) != 1)
        return QueryResult::ReadFailed;
    if (received < kPacketSize)
        return QueryResult::ShortReply;
    reply = ReplyPacket::decode(bytes);
    return QueryResult::Complete;
}

} // namespace ulmar
