// The four-character device code every adapter carries at the start of its
// product string, and the board texts chosen by it.
#pragma once

#include "ulmar.h"

#include <array>
#include <cstdint>

namespace ulmar {

using DeviceCode = std::array<char, 4>;

constexpr std::uint8_t kProductStringIndex = 2;
constexpr std::uint8_t kSerialStringIndex = 4;
constexpr std::uint32_t kProductStringSize = 10; // header and four characters
constexpr std::uint32_t kSerialStringSize = 18;  // header and eight characters

// The low bytes of the first four UTF-16 characters of a string descriptor
// of `length` bytes. Characters the adapter did not send become '?'.
DeviceCode deviceCodeOf(const std::uint8_t* descriptor, std::uint32_t length);

// Codes starting with 7, 8, 9, B, E or F belong to the Velomark-II hardware.
bool isVelomarkCode(const DeviceCode& code);

// serialText and typeText of VCI_ReadBoardInfo for the code.
void writeBoardTexts(VciBoardInfo& info, const DeviceCode& code);

// A serial number string of exactly 18 bytes replaces serialText bytes 0 to
// 6 with its characters 1 to 7; any other length changes nothing.
void applySerialString(VciBoardInfo& info, const std::uint8_t* descriptor, std::uint32_t length);

// Bytes 0 to 10 shared by VciBoardInfo and VciDeviceList.
struct BoardConstants {
    std::uint16_t reportedVersion1 = 0x0200;
    std::uint16_t deviceRelease = 0x0225; // used when the descriptor cannot be read
    std::uint16_t reportedVersion2 = 0x0200;
    std::uint16_t libraryVersion = 0x0193;
    std::uint16_t reservedWord = 0;
    std::uint8_t channelCount = 2;
};

// The release number (bytes 12 and 13) of a device descriptor of `length`
// bytes, or `fallback` if it is too short to hold it.
std::uint16_t deviceReleaseOf(const std::uint8_t* descriptor, std::uint32_t length,
                              std::uint16_t fallback);

} // namespace ulmar
