// The 64-byte command and reply packets of the adapter protocol: sixteen
// little-endian 32-bit words, word 0 the opcode; unlisted words are zero.
#pragma once

#include <array>
#include <cstdint>

namespace ulmar {

constexpr std::uint32_t kPacketSize = 64;
constexpr std::uint32_t kReplyTimeoutMs = 1000;

enum class Opcode : std::uint32_t {
    AuxQuery = 0,
    InitChannel = 1,
    StartChannel = 2,
    ResetChannel = 3,
    SetReference = 4,
    ClearBuffer = 5,
    WriteDeviceCode = 6,
    ResetUsbDevice = 7,
    ReadReferences = 9,
    ReceiveCount = 10,
    ControllerStatus = 11,
    ReadRepeater = 12,
    WriteRepeater = 13,
    SetValue = 14,
};

using PacketBytes = std::array<std::uint8_t, kPacketSize>;

struct CommandPacket {
    std::array<std::uint32_t, 16> words{};

    explicit CommandPacket(Opcode opcode) { words[0] = static_cast<std::uint32_t>(opcode); }
    PacketBytes encode() const;
};

struct ReplyPacket {
    std::array<std::uint32_t, 16> words{};

    static ReplyPacket decode(const PacketBytes& bytes);
};

} // namespace ulmar
