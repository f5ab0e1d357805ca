#pragma once

// Command and reply packets: 64 bytes, sixteen little-endian 32-bit words,
// word 0 the opcode.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace emu {

constexpr std::size_t kPacketSize = 64;
constexpr std::size_t kPacketWords = 16;

enum class Opcode : std::uint32_t {
    AuxQuery = 0,
    InitChannel = 1,
    StartChannel = 2,
    ResetChannel = 3,
    SetReference = 4,
    ClearBuffer = 5,
    WriteDeviceCode = 6,
    ResetDevice = 7,
    ReadReferences = 9,
    ReceiveCount = 10,
    ControllerStatus = 11,
    ReadRepeater = 12,
    WriteRepeater = 13,
    SetValue = 14,
};

struct CommandPacket {
    std::array<std::uint32_t, kPacketWords> words{};

    std::uint32_t opcode() const { return words[0]; }
    std::uint32_t operator[](std::size_t i) const { return words[i]; }
};

// Splits a write on a command pipe into packets: every 64 bytes make one; a
// shorter tail counts as a packet whose missing bytes are zero.
std::vector<CommandPacket> splitCommands(std::span<const std::uint8_t> bytes);

// The 64 bytes of a reply packet; word 0 echoes the opcode.
std::vector<std::uint8_t> encodeReply(const std::array<std::uint32_t, kPacketWords>& words);

} // namespace emu
