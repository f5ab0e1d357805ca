// Maintenance commands: USB reset, resume, and the adapter's repeater setting.
#include "core/argument_check.h"
#include "protocol/command_channel.h"

using namespace ulmar;

int32_t VCI_API VCI_UsbDeviceReset(uint32_t deviceType, uint32_t deviceIndex, uint32_t) {
    if (!checkDevice(deviceType, deviceIndex))
        return 0;
    return sendCommand(deviceOf(deviceIndex), commandOutSlot(0),
                       CommandPacket(Opcode::ResetUsbDevice));
}

int32_t VCI_API VCI_ResumeConfig(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) {
    return checkChannel(deviceType, deviceIndex, channel) ? 1 : 0;
}

int32_t VCI_API VCI_GetRepeaterReference(uint32_t deviceType, uint32_t deviceIndex,
                                         uint32_t channel, uint32_t, uint8_t* value) {
    if (!checkChannel(deviceType, deviceIndex, channel) || value == nullptr)
        return 0;
    ReplyPacket reply;
    switch (query(deviceOf(deviceIndex), commandOutSlot(channel), replyInSlot(channel),
                  CommandPacket(Opcode::ReadRepeater), reply)) {
    case QueryResult::Complete:
        *value = static_cast<uint8_t>(reply.words[1]);
        return 1;
    case QueryResult::ShortReply:
        return 1;
    case QueryResult::MissingCommandPipe:
    case QueryResult::MissingReplyPipe:
        return -1;
    default:
        return 0;
    }
}

// Only kind 0 carries the byte at the pointer; other kinds do not read it.
int32_t VCI_API VCI_SetRepeaterReference(uint32_t deviceType, uint32_t deviceIndex,
                                         uint32_t channel, uint32_t kind, const uint8_t* value) {
    if (!checkChannel(deviceType, deviceIndex, channel) || (kind == 0 && value == nullptr))
        return 0;
    CommandPacket packet(Opcode::WriteRepeater);
    packet.words[1] = kind;
    packet.words[2] = kind == 0 ? *value : 0;
    return sendCommand(deviceOf(deviceIndex), commandOutSlot(channel), packet);
}
