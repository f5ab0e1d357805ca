// The item's file line: eight fields, each followed by ";":
// kind; period; enabled; identifier; remote; length; data bytes; caption;
// Numbers are upper-case hexadecimal without leading zeros.
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "transmit/send_item.h"

namespace {

void AppendHex(std::string& text, std::uint32_t value) {
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
    text.append(buffer, static_cast<std::size_t>(length));
}

// Takes the next field off the front of the line: the text before the first
// ";" (the ";" goes too), or all that is left when there is none.
std::string_view TakeField(std::string_view& line) {
    const std::size_t separator = line.find(';');
    if (separator == std::string_view::npos) {
        const std::string_view field = line;
        line = {};
        return field;
    }
    const std::string_view field = line.substr(0, separator);
    line.remove_prefix(separator + 1);
    return field;
}

// A field made only of hexadecimal digits whose value fits in 32 bits, taken
// as a signed 32-bit value; -1 for an empty field or any other text.
std::int32_t ReadHex(std::string_view field) {
    if (field.empty())
        return -1;
    std::uint64_t value = 0;
    for (const char c : field) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            return -1;
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFull)
            return -1;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

} // namespace

std::string TCanSendItem::ToText() const {
    std::string text;
    AppendHex(text, static_cast<std::uint32_t>(SendType));
    text += ';';
    AppendHex(text, static_cast<std::uint32_t>(Period));
    text += ';';
    text += Enabled.load() ? "1;" : "0;";
    AppendHex(text, Frame.Id);
    text += ';';
    text += Frame.IsRemote ? "1;" : "0;";
    AppendHex(text, Frame.Len);
    text += ';';
    const std::uint32_t shown = std::min<std::uint32_t>(Frame.Len, 8);
    for (std::uint32_t i = 0; i < shown; ++i) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02X", Frame.Data[i]);
        text += buffer;
    }
    text += ';';
    text += Caption;
    text += ';';
    return text;
}

bool TCanSendItem::FromText(const std::string& text) {
    std::string_view line = text;
    const std::int32_t sendType = ReadHex(TakeField(line));
    if (sendType < 0 || sendType > 2)
        return false;
    SendType = static_cast<TCanSendType>(sendType);

    Period = ReadHex(TakeField(line));
    if (Period < 0)
        return false;

    Enabled.store(ReadHex(TakeField(line)) == 1);

    const std::int32_t id = ReadHex(TakeField(line));
    if (id < 0)
        return false;
    Frame.Id = static_cast<std::uint32_t>(id);

    Frame.IsRemote = ReadHex(TakeField(line)) == 1;

    const std::int32_t length = ReadHex(TakeField(line));
    if (length < 0 || length > 8)
        return false;
    Frame.Len = static_cast<std::uint32_t>(length);

    std::string_view data = TakeField(line);
    for (std::uint8_t& byte : Frame.Data) {
        if (data.size() >= 2) {
            byte = static_cast<std::uint8_t>(std::max(ReadHex(data.substr(0, 2)), 0));
            data.remove_prefix(2);
        } else {
            byte = 0;
        }
    }

    Caption = std::string(TakeField(line));
    return true;
}
