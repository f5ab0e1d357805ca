#pragma once

// USB identity of the virtual adapter and the descriptors built from it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emu {

struct AdapterIdentity {
    std::uint16_t vendorId = 0x04D8;
    std::uint16_t productId = 0x0053;
    std::uint16_t release = 0x0226;               // bcdDevice, bytes 12 and 13
    std::string deviceCode = "2A01";              // first characters of the product string
    std::string productText = " USB-CAN Virtual"; // rest of the product string
    std::string manufacturer = "Tessel";
    std::string serial = "VA000001"; // 8 characters make an 18-byte descriptor
    std::vector<std::uint16_t> languages{0x0409};

    std::string productString() const { return deviceCode + productText; }
};

constexpr std::uint8_t kDescriptorDevice = 1;
constexpr std::uint8_t kDescriptorString = 3;

// String indices the device descriptor names.
constexpr std::uint8_t kStringManufacturer = 1;
constexpr std::uint8_t kStringProduct = 2;
constexpr std::uint8_t kStringSerial = 4;

// Longest text a string descriptor can carry (its length is one byte).
constexpr std::size_t kMaxStringChars = 126;

std::vector<std::uint8_t> deviceDescriptor(const AdapterIdentity& identity);

// String descriptor: length, type 3, then the text in UTF-16LE. Index 0 is the
// language list. Unknown indices give nothing (the request stalls).
std::optional<std::vector<std::uint8_t>> stringDescriptor(const AdapterIdentity& identity,
                                                          std::uint8_t index);

// Any descriptor request; nothing means stall. The result is cut to
// `maxLength` bytes, as a USB control transfer would be.
std::optional<std::vector<std::uint8_t>> lookupDescriptor(const AdapterIdentity& identity,
                                                          std::uint8_t type, std::uint8_t index,
                                                          std::uint32_t maxLength);

} // namespace emu
