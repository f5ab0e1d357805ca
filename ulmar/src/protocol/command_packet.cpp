#include "protocol/command_packet.h"

namespace ulmar {

PacketBytes CommandPacket::encode() const {
    PacketBytes bytes{};
    for (std::size_t word = 0; word < words.size(); ++word) {
        for (std::size_t i = 0; i < 4; ++i)
            bytes[4 * word + i] = static_cast<std::uint8_t>(words[word] >> (8 * i));
    }
    return bytes;
}

ReplyPacket ReplyPacket::decode(const PacketBytes& bytes) {
    ReplyPacket reply;
    for (std::size_t word = 0; word < reply.words.size(); ++word) {
        for (std::size_t i = 0; i < 4; ++i)
            reply.words[word] |= static_cast<std::uint32_t>(bytes[4 * word + i]) << (8 * i);
    }
    return reply;
}

} // namespace ulmar
