#include "frame_text.h"

#include "text_scan.h"

namespace canlog {
namespace {

constexpr std::uint32_t kErrorFlag = 0x20000000;

bool parseId(std::string_view text, LogFrame& frame, std::string& error) {
    std::uint32_t id = 0;
    if (!parseHex(text, id)) {
        error = "bad identifier '" + std::string(text) + "'";
        return false;
    }
    frame.extended = text.size() > 3;
    if (frame.extended && (id & kErrorFlag) != 0) {
        error = "error frames are not supported";
        return false;
    }
    if (id > (frame.extended ? 0x1FFFFFFFu : 0x7FFu)) {
        error = "identifier '" + std::string(text) + "' out of range";
        return false;
    }
    frame.id = id;
    return true;
}

bool parseData(std::string_view text, LogFrame& frame, std::string& error) {
    std::size_t length = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '.') {
            ++i;
            continue;
        }
        std::uint32_t byte = 0;
        if (i + 2 > text.size() || length == frame.data.size() ||
            !parseHex(text.substr(i, 2), byte, 2)) {
            error = "bad data '" + std::string(text) + "' (up to 8 bytes as hex pairs)";
            return false;
        }
        frame.data[length++] = static_cast<std::uint8_t>(byte);
        i += 2;
    }
    frame.length = static_cast<std::uint8_t>(length);
    return true;
}

} // namespace

bool parseFrameText(std::string_view text, LogFrame& frame, std::string& error) {
    const auto hash = text.find('#');
    if (hash == std::string_view::npos) {
        error = "no '#' in frame '" + std::string(text) + "'";
        return false;
    }
    const std::string_view rest = text.substr(hash + 1);
    if (!rest.empty() && rest[0] == '#') {
        error = "CAN FD frames are not supported";
        return false;
    }
    frame.data = {};
    frame.length = 0;
    frame.remote = false;
    if (!parseId(text.substr(0, hash), frame, error))
        return false;
    if (!rest.empty() && (rest[0] == 'R' || rest[0] == 'r')) {
        frame.remote = true;
        std::uint32_t length = 0;
        if (rest.size() == 1 || (parseDecimal(rest.substr(1), length, 1) && length <= 8)) {
            frame.length = static_cast<std::uint8_t>(length);
            return true;
        }
        error = "bad remote frame length '" + std::string(rest) + "'";
        return false;
    }
    return parseData(rest, frame, error);
}

} // namespace canlog
