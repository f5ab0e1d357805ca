#include "protocol/device_code.h"

#include <cstring>

namespace ulmar {

DeviceCode deviceCodeOf(const std::uint8_t* descriptor, std::uint32_t length) {
    DeviceCode code{'?', '?', '?', '?'};
    for (std::uint32_t i = 0; i < code.size(); ++i) {
        const std::uint32_t at = 2 + 2 * i;
        if (at < length)
            code[i] = static_cast<char>(descriptor[at]);
    }
    return code;
}

bool isVelomarkCode(const DeviceCode& code) {
    return std::strchr("789BEF", code[0]) != nullptr && code[0] != '\0';
}

void writeBoardTexts(VciBoardInfo& info, const DeviceCode& code) {
    const char* prefix = isVelomarkCode(code) ? "0007042" : "KESTRA-";
    const char* type = isVelomarkCode(code) ? "Velomark-II" : "KESTRA-II";
    std::memcpy(info.serialText, prefix, 7);
    std::memcpy(info.serialText + 7, code.data(), code.size());
    info.serialText[11] = '\0';
    std::memcpy(info.typeText, type, std::strlen(type) + 1);
}

void applySerialString(VciBoardInfo& info, const std::uint8_t* descriptor, std::uint32_t length) {
    if (length != kSerialStringSize)
        return;
    for (std::uint32_t i = 0; i < 7; ++i)
        info.serialText[i] = static_cast<char>(descriptor[4 + 2 * i]);
}

std::uint16_t deviceReleaseOf(const std::uint8_t* descriptor, std::uint32_t length,
                              std::uint16_t fallback) {
    if (length < 14)
        return fallback;
    return static_cast<std::uint16_t>(descriptor[12] | descriptor[13] << 8);
}

} // namespace ulmar
