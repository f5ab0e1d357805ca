#include "command_packet.h"

#include <algorithm>

#include "byte_order.h"

namespace emu {

std::vector<CommandPacket> splitCommands(std::span<const std::uint8_t> bytes) {
    std::vector<CommandPacket> packets;
    for (std::size_t at = 0; at < bytes.size(); at += kPacketSize) {
        std::array<std::uint8_t, kPacketSize> raw{};
        const std::size_t n = std::min(kPacketSize, bytes.size() - at);
        std::copy_n(bytes.begin() + at, n, raw.begin());
        CommandPacket packet;
        for (std::size_t w = 0; w < kPacketWords; ++w)
            packet.words[w] = getU32(raw.data() + 4 * w);
        packets.push_back(packet);
    }
    return packets;
}

std::vector<std::uint8_t> encodeReply(const std::array<std::uint32_t, kPacketWords>& words) {
    std::vector<std::uint8_t> bytes(kPacketSize);
    for (std::size_t w = 0; w < kPacketWords; ++w)
        putU32(bytes.data() + 4 * w, words[w]);
    return bytes;
}

} // namespace emu
