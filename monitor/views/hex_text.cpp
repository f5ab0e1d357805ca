#include "views/hex_text.h"

#include <cstdio>

void AppendIdText(std::string& text, std::uint32_t id, bool isStandard) {
    char buffer[16];
    const int length =
        std::snprintf(buffer, sizeof buffer, "%0*X", isStandard ? 3 : 8, static_cast<unsigned>(id));
    text.append(buffer, static_cast<std::size_t>(length));
}

void AppendByteText(std::string& text, std::uint8_t value) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    text += Digits[value >> 4];
    text += Digits[value & 0x0F];
}
