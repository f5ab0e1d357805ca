// Reading and writing the channel references: the library's own (bit rate
// for types 20 and 21, acceptance filter) and those kept by the adapter.
#include "core/argument_check.h"
#include "protocol/acceptance_filter.h"
#include "protocol/command_channel.h"
#include "protocol/rate_table.h"

#include <cstring>

using namespace ulmar;

namespace {

// VCI_SetReference kinds.
constexpr uint32_t kBitRate = 0;
constexpr uint32_t kAddFilterEntry = 1;
constexpr uint32_t kEnableFilter = 2;
constexpr uint32_t kClearFilter = 3;
constexpr uint32_t kSetValue = 4;

// VCI_GetReference kinds.
constexpr uint32_t kAuxQuery = 11;
constexpr uint32_t kClockRate = 30;

uint32_t readU32(const void* data) {
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

uint32_t bigEndian(const uint8_t* d) {
    return uint32_t(d[0]) << 24 | uint32_t(d[1]) << 16 | uint32_t(d[2]) << 8 | uint32_t(d[3]);
}

void putBigEndian(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The 32-bit value describes a bit timing on a 36 MHz clock; the channel
// takes the table row nearest to its rate.
int32_t setBitRate(ChannelState& channel, uint32_t value) {
    const int prescaler = static_cast<int>(value & 0x3FF) + 1;
    const int segment1 = static_cast<int>((value >> 16) & 0x0F) + 1;
    const int segment2 = static_cast<int>((value >> 20) & 7) + 1;
    const double rate = 36000.0 / prescaler / (segment1 + segment2 + 1);
    if (rate > 1000.0 || rate < 10.0)
        return 0;
    channel.rateIndex = nearestRateRow(rate);
    channel.rateSet = 1;
    return 1;
}

// Fills the words that VCI_SetReference2 sends for `kind`; false when the
// kind reads data bytes and there are none.
bool fillReferenceWords(CommandPacket& packet, uint32_t kind, const uint8_t* d) {
    auto& w = packet.words;
    w[1] = kind;
    const bool readsData = kind <= 10 || kind == 13 || kind == 15 || kind == 16;
    if (!readsData)
        return true;
    if (d == nullptr)
        return false;
    if (kind == 0 || kind == 1 || kind == 13) {
        w[2] = d[0];
    } else if (kind <= 9) {
        w[2] = bigEndian(d);
    } else if (kind == 10) {
        // A btr0/btr1 pair in d[1], d[2] split into separate timing values.
        const uint8_t t0 = d[1];
        const uint8_t t1 = d[2];
        w[1] = 16;
        w[2] = 0;
        w[3] = (t0 >> 6) + 1u;
        w[4] = (t0 & 0x3Fu) * 2 + 2;
        w[5] = t1 >> 7;
        w[6] = 1;
        w[7] = ((t1 >> 1) & 7u) + (t1 & 1u);
        w[8] = ((t1 >> 1) & 7u) + 1;
        w[9] = ((t1 >> 4) & 7u) + 1;
    } else if (kind == 15) {
        w[2] = d[0];
        w[3] = d[1];
        w[4] = bigEndian(d + 2);
        w[5] = bigEndian(d + 6);
        for (int i = 0; i < 5; ++i)
            w[6 + i] = d[10 + i];
    } else {
        w[2] = bigEndian(d);
        for (int i = 0; i < 7; ++i)
            w[3 + i] = d[4 + i];
    }
    return true;
}

void fillReferenceBuffer(uint8_t* buffer, const ReplyPacket& reply) {
    const auto& w = reply.words;
    buffer[0] = static_cast<uint8_t>(w[1]);
    buffer[1] = static_cast<uint8_t>(w[2]);
    putBigEndian(buffer + 2, w[3]);
    putBigEndian(buffer + 6, w[4]);
    for (int i = 0; i < 4; ++i)
        buffer[10 + i] = static_cast<uint8_t>(w[5 + i]);
    buffer[14] = 0;
    buffer[15] = 0;
    putBigEndian(buffer + 16, w[9]);
    for (int i = 0; i < 4; ++i)
        buffer[20 + i] = static_cast<uint8_t>(w[10 + i]);
    for (int i = 0; i < 3; ++i)
        buffer[24 + i] = static_cast<uint8_t>(w[14] >> (24 - 8 * i));
}

} // namespace

int32_t VCI_API VCI_SetReference(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                 uint32_t kind, const void* data) {
    if (!checkChannel(deviceType, deviceIndex, channel) || !isReferenceType(deviceType))
        return 0;
    ChannelState& state = channelState(channel);
    switch (kind) {
    case kBitRate:
        return data != nullptr ? setBitRate(state, readU32(data)) : 0;
    case kAddFilterEntry: {
        if (data == nullptr)
            return 0;
        VciFilterEntry entry{};
        std::memcpy(&entry, data, sizeof entry);
        return addFilterEntry(state, entry) ? 1 : 0;
    }
    case kEnableFilter:
        state.filterEnabled = 1;
        return 1;
    case kClearFilter:
        clearFilter(state);
        return 1;
    case kSetValue: {
        if (data == nullptr)
            return 0;
        CommandPacket packet(Opcode::SetValue);
        packet.words[1] = readU32(data);
        return sendCommand(deviceOf(deviceIndex), commandOutSlot(channel), packet);
    }
    default:
        return 0;
    }
}

int32_t VCI_API VCI_GetReference(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                 uint32_t kind, uint32_t* value) {
    if (!checkChannel(deviceType, deviceIndex, channel) || value == nullptr)
        return 0;
    if (kind == kClockRate) {
        *value = 1000;
        return 100;
    }
    if (kind != kAuxQuery)
        return 0;
    ReplyPacket reply;
    switch (query(deviceOf(deviceIndex), auxOutSlot(channel), auxInSlot(channel),
                  CommandPacket(Opcode::AuxQuery), reply)) {
    case QueryResult::Complete:
        *value = ((reply.words[1] + 5) / 10 % 256) * 256;
        return 1;
    case QueryResult::ShortReply:
        return 1;
    default:
        return 0;
    }
}

int32_t VCI_API VCI_SetReference2(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                  uint32_t kind, const uint8_t* data) {
    if (!checkChannel(deviceType, deviceIndex, channel))
        return 0;
    CommandPacket packet(Opcode::SetReference);
    if (!fillReferenceWords(packet, kind, data))
        return 0;
    return sendCommand(deviceOf(deviceIndex), commandOutSlot(channel), packet);
}

int32_t VCI_API VCI_GetReference2(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                                  uint32_t, uint8_t* buffer27) {
    if (!checkChannel(deviceType, deviceIndex, channel) || buffer27 == nullptr)
        return 0;
    ReplyPacket reply;
    switch (query(deviceOf(deviceIndex), commandOutSlot(channel), replyInSlot(channel),
                  CommandPacket(Opcode::ReadReferences), reply)) {
    case QueryResult::Complete:
        fillReferenceBuffer(buffer27, reply);
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
