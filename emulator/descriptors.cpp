#include "descriptors.h"

#include <algorithm>

#include "byte_order.h"

namespace emu {
namespace {

std::vector<std::uint8_t> encodeString(const std::string& text) {
    const std::size_t chars = std::min(text.size(), kMaxStringChars);
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(2 + 2 * chars), kDescriptorString};
    for (std::size_t i = 0; i < chars; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(text[i]));
        bytes.push_back(0);
    }
    return bytes;
}

} // namespace

std::vector<std::uint8_t> deviceDescriptor(const AdapterIdentity& identity) {
    std::vector<std::uint8_t> d(18, 0);
    d[0] = 18;
    d[1] = kDescriptorDevice;
    putU16(&d[2], 0x0200); // USB 2.0
    d[7] = 64;             // control endpoint packet size
    putU16(&d[8], identity.vendorId);
    putU16(&d[10], identity.productId);
    putU16(&d[12], identity.release);
    d[14] = kStringManufacturer;
    d[15] = kStringProduct;
    d[16] = kStringSerial;
    d[17] = 1; // one configuration
    return d;
}

std::optional<std::vector<std::uint8_t>> stringDescriptor(const AdapterIdentity& identity,
                                                          std::uint8_t index) {
    switch (index) {
    case 0: {
        const std::size_t count = std::min<std::size_t>(identity.languages.size(), kMaxStringChars);
        std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * count), kDescriptorString};
        for (std::size_t i = 0; i < count; ++i) {
            d.push_back(static_cast<std::uint8_t>(identity.languages[i]));
            d.push_back(static_cast<std::uint8_t>(identity.languages[i] >> 8));
        }
        return d;
    }
    case kStringManufacturer:
        return encodeString(identity.manufacturer);
    case kStringProduct:
        return encodeString(identity.productString());
    case kStringSerial:
        return encodeString(identity.serial);
    default:
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> lookupDescriptor(const AdapterIdentity& identity,
                                                          std::uint8_t type, std::uint8_t index,
                                                          std::uint32_t maxLength) {
    std::optional<std::vector<std::uint8_t>> d;
    if (type == kDescriptorDevice && index == 0)
        d = deviceDescriptor(identity);
    else if (type == kDescriptorString)
        d = stringDescriptor(identity, index);
    if (d && d->size() > maxLength)
        d->resize(maxLength);
    return d;
}

} // namespace emu
