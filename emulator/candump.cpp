#include "candump.h"

#include <cctype>
#include <charconv>
#include <sstream>

namespace emu {
namespace {

bool parseHex(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseTime(const std::string& field, double& seconds) {
    if (field.size() < 3 || field.front() != '(' || field.back() != ')')
        return false;
    const std::string inner = field.substr(1, field.size() - 2);
    const auto [end, ec] = std::from_chars(inner.data(), inner.data() + inner.size(), seconds);
    return ec == std::errc() && end == inner.data() + inner.size() && seconds >= 0;
}

bool parseData(const std::string& text, CanFrame& frame) {
    std::string hex;
    for (char c : text) {
        if (c != '.')
            hex.push_back(c);
    }
    if (hex.size() % 2 != 0 || hex.size() > 16)
        return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        std::uint32_t byte = 0;
        if (!parseHex(hex.substr(i, 2), byte))
            return false;
        frame.data[i / 2] = static_cast<std::uint8_t>(byte);
    }
    frame.length = static_cast<std::uint8_t>(hex.size() / 2);
    return true;
}

bool parseFrame(const std::string& text, CanFrame& frame, std::string& error) {
    const auto hash = text.find('#');
    if (hash == std::string::npos) {
        error = "no '#' in frame '" + text + "'";
        return false;
    }
    const std::string idText = text.substr(0, hash);
    const std::string rest = text.substr(hash + 1);
    if (!rest.empty() && rest[0] == '#') {
        error = "CAN FD frames are not supported";
        return false;
    }
    if (!parseHex(idText, frame.id) || (idText.size() != 3 && idText.size() != 8)) {
        error = "bad identifier '" + idText + "' (3 hex digits standard, 8 extended)";
        return false;
    }
    frame.extended = idText.size() == 8;
    if ((frame.extended && frame.id > 0x1FFFFFFF) || (!frame.extended && frame.id > 0x7FF)) {
        error = "identifier out of range or an error frame: '" + idText + "'";
        return false;
    }
    if (!rest.empty() && (rest[0] == 'R' || rest[0] == 'r')) {
        frame.remote = true;
        if (rest.size() == 1)
            return true;
        if (rest.size() == 2 && rest[1] >= '0' && rest[1] <= '8') {
            frame.length = static_cast<std::uint8_t>(rest[1] - '0');
            return true;
        }
        error = "bad remote frame length '" + rest + "'";
        return false;
    }
    if (!parseData(rest, frame)) {
        error = "bad data '" + rest + "' (up to 8 bytes as hex pairs)";
        return false;
    }
    return true;
}

} // namespace

std::optional<CandumpRecord> parseCandumpLine(const std::string& line, std::string& error) {
    std::istringstream in(line);
    std::string timeField, interface, frameField, extra;
    if (!(in >> timeField >> interface >> frameField)) {
        error = "expected '(seconds) interface ID#DATA'";
        return std::nullopt;
    }
    CandumpRecord record;
    if (!parseTime(timeField, record.time)) {
        error = "bad time stamp '" + timeField + "'";
        return std::nullopt;
    }
    record.interface = interface;
    if (!parseFrame(frameField, record.frame, error))
        return std::nullopt;
    return record;
}

std::optional<std::vector<CandumpRecord>> parseCandumpLog(std::istream& in, std::string& error) {
    std::vector<CandumpRecord> records;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::string reason;
        auto record = parseCandumpLine(line, reason);
        if (!record) {
            error = "line " + std::to_string(number) + ": " + reason;
            return std::nullopt;
        }
        records.push_back(std::move(*record));
    }
    return records;
}

} // namespace emu
