// Status queries of a channel.
#include "core/argument_check.h"
#include "protocol/command_channel.h"
#include "protocol/pending_ring.h"

#include <cstring>

using namespace ulmar;

namespace {

// The controller mode in bits 8 to 15 of the status word, with bit 16 as a
// flag, folded into one byte; unknown modes pass the low byte through.
uint8_t modeBitsOf(uint32_t word) {
    const uint32_t mode = (word >> 8) & 0xFF;
    const uint32_t flag = ((word >> 16) & 1) * 8;
    switch (mode) {
    case 0:
        return static_cast<uint8_t>(flag);
    case 1:
        return static_cast<uint8_t>(flag + 4);
    case 2:
        return static_cast<uint8_t>(flag + 2);
    default:
        return static_cast<uint8_t>(word);
    }
}

} // namespace

int32_t VCI_API VCI_GetReceiveNum(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) {
    if (!checkChannel(deviceType, deviceIndex, channel))
        return 0;
    ReplyPacket reply;
    switch (query(deviceOf(deviceIndex), commandOutSlot(channel), replyInSlot(channel),
                  CommandPacket(Opcode::ReceiveCount), reply)) {
    case QueryResult::Complete:
        return static_cast<int32_t>(reply.words[1] +
                                    pendingCount(channelState(channel).pendingRing));
    case QueryResult::ShortReply:
        return 0;
    default:
        return -1;
    }
}

int32_t VCI_API VCI_ReadCANStatus(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                  VciCanStatus* status) {
    if (!checkChannel(deviceType, deviceIndex, channel) || status == nullptr)
        return 0;
    ReplyPacket reply;
    switch (query(deviceOf(deviceIndex), commandOutSlot(channel), replyInSlot(channel),
                  CommandPacket(Opcode::ControllerStatus), reply)) {
    case QueryResult::Complete:
        break;
    case QueryResult::MissingCommandPipe:
    case QueryResult::MissingReplyPipe:
        return -1;
    default:
        return 0;
    }
    const auto& w = reply.words;
    status->statusCode = static_cast<uint8_t>(w[1]);
    status->modeBits = modeBitsOf(w[2]);
    for (int i = 0; i < 6; ++i)
        status->registerImage[i] = static_cast<uint8_t>(w[3 + i]);
    status->extra = w[9] & 0xFF;
    return 1;
}

// This adapter reports no error details; the record is always cleared.
int32_t VCI_API VCI_ReadErrInfo(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                VciErrorInfo* info) {
    if (!checkChannel(deviceType, deviceIndex, channel) || info == nullptr)
        return 0;
    std::memset(info, 0, sizeof *info);
    return 1;
}
