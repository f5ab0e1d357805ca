#include "line_parser.h"

#include <ctime>

#include "frame_text.h"
#include "line_text.h"
#include "text_scan.h"

namespace canlog {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int monthNumber(std::string_view name) {
    static constexpr std::string_view english[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        if (equalsIgnoringCase(name, english[i]))
            return i;
    }
    // German names that some Vector tools write.
    if (name == "M\xC3\xA4r")
        return 2;
    if (name == "Mai")
        return 4;
    if (name == "Okt")
        return 9;
    if (name == "Dez")
        return 11;
    return -1;
}

// "Tue Dec 08 01:02:03.123 PM 2026" or "Tue Dec 8 13:02:03 2026", local time.
bool parseAscDate(const std::vector<std::string_view>& tokens, std::size_t first,
                  std::int64_t& us) {
    if (tokens.size() < first + 5)
        return false;
    const int month = monthNumber(tokens[first + 1]);
    std::uint32_t day = 0;
    if (month < 0 || !parseDecimal(tokens[first + 2], day, 2))
        return false;
    const std::string_view time = tokens[first + 3];
    std::uint32_t hour = 0, minute = 0;
    std::int64_t secondsUs = 0;
    if (time.size() < 8 || time[2] != ':' || time[5] != ':' ||
        !parseDecimal(time.substr(0, 2), hour, 2) || !parseDecimal(time.substr(3, 2), minute, 2) ||
        !parseSeconds(time.substr(6), secondsUs))
        return false;
    std::size_t yearAt = first + 4;
    if (equalsIgnoringCase(tokens[yearAt], "AM") || equalsIgnoringCase(tokens[yearAt], "PM")) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (equalsIgnoringCase(tokens[yearAt], "PM") ? 12 : 0);
        ++yearAt;
    }
    std::uint32_t year = 0;
    if (yearAt >= tokens.size() || !parseDecimal(tokens[yearAt], year, 4) || year < 1970 ||
        hour > 23 || minute > 59 || day < 1 || day > 31)
        return false;
    std::tm local{};
    local.tm_year = static_cast<int>(year) - 1900;
    local.tm_mon = month;
    local.tm_mday = static_cast<int>(day);
    local.tm_hour = static_cast<int>(hour);
    local.tm_min = static_cast<int>(minute);
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1))
        return false;
    us = static_cast<std::int64_t>(t) * 1'000'000 + secondsUs;
    return true;
}

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

LineKind LineParser::parse(std::string_view line, LogFrame& frame, std::string& error) {
    frame = LogFrame{};
    switch (format_) {
    case Format::Candump:
        return parseCandump(line, frame, error);
    case Format::Asc:
        return parseAsc(line, frame, error);
    case Format::Csv:
        return parseCsv(line, frame, error);
    }
    return LineKind::Skipped;
}

bool LineParser::channelOfInterface(std::string_view name, std::uint8_t& channel) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    std::uint32_t number = 0;
    if (digits < name.size()) {
        if (!parseDecimal(name.substr(digits), number, 3) || number > 255)
            return false;
        channel = static_cast<std::uint8_t>(number);
        return true;
    }
    std::size_t i = 0;
    while (i < unnumberedInterfaces_.size() && unnumberedInterfaces_[i] != name)
        ++i;
    if (i == unnumberedInterfaces_.size()) {
        if (i > 255)
            return false;
        unnumberedInterfaces_.emplace_back(name);
    }
    channel = static_cast<std::uint8_t>(i);
    return true;
}

LineKind LineParser::parseCandump(std::string_view line, LogFrame& frame, std::string& error) {
    const auto tokens = splitTokens(line, 5);
    if (tokens.empty() || tokens[0][0] == '#')
        return LineKind::Skipped;
    if (tokens.size() < 3 || tokens.size() > 4) {
        error = "expected '(seconds) interface ID#DATA'";
        return LineKind::Malformed;
    }
    const std::string_view time = tokens[0];
    if (time.size() < 3 || time.front() != '(' || time.back() != ')' ||
        !parseSeconds(time.substr(1, time.size() - 2), frame.timeUs)) {
        error = "bad time stamp '" + std::string(time) + "'";
        return LineKind::Malformed;
    }
    if (!channelOfInterface(tokens[1], frame.channel)) {
        error = "bad interface '" + std::string(tokens[1]) + "'";
        return LineKind::Malformed;
    }
    if (!parseFrameText(tokens[2], frame, error))
        return LineKind::Malformed;
    // A fourth field marks the direction, as some writers add: R received, T sent.
    if (tokens.size() == 4) {
        if (tokens[3] != "R" && tokens[3] != "T") {
            error = "unexpected '" + std::string(tokens[3]) + "' after the frame";
            return LineKind::Malformed;
        }
        frame.tx = tokens[3] == "T";
    }
    return LineKind::Frame;
}

LineKind LineParser::parseAsc(std::string_view line, LogFrame& frame, std::string& error) {
    const auto tokens = splitTokens(line, 80);
    if (tokens.empty() || startsWith(tokens[0], "//"))
        return LineKind::Skipped;
    const std::string_view head = tokens[0];
    if (equalsIgnoringCase(head, "date")) {
        std::int64_t start = 0;
        if (!ascStartSet_ && parseAscDate(tokens, 1, start)) {
            ascStartUs_ = ascLastUs_ = start;
            ascStartSet_ = true;
        }
        return LineKind::Skipped;
    }
    if (equalsIgnoringCase(head, "base")) {
        ascDecimal_ = tokens.size() > 1 && equalsIgnoringCase(tokens[1], "dec");
        ascRelative_ = tokens.size() > 3 && equalsIgnoringCase(tokens[3], "relative");
        return LineKind::Skipped;
    }
    // The trigger block's date is the start its time stamps count from; the
    // file's date stands in for it when it is missing or unreadable.
    if (equalsIgnoringCase(head, "begin")) {
        std::int64_t start = 0;
        if (parseAscDate(tokens, 2, start)) {
            ascStartUs_ = ascLastUs_ = start;
            ascStartSet_ = true;
        }
        return LineKind::Skipped;
    }
    if (equalsIgnoringCase(head, "end") || equalsIgnoringCase(head, "internal") ||
        equalsIgnoringCase(head, "no"))
        return LineKind::Skipped;
    std::int64_t time = 0;
    if (!parseSeconds(head, time)) {
        error = "expected a time stamp, found '" + std::string(head) + "'";
        return LineKind::Malformed;
    }
    frame.timeUs = (ascRelative_ ? ascLastUs_ : ascStartUs_) + time;
    // Events other than classic frames (error frames, statistics, CAN FD,
    // markers) carry no frame for us.
    if (tokens.size() < 4 || !allDigits(tokens[1]) || !(tokens[3] == "Rx" || tokens[3] == "Tx"))
        return LineKind::Skipped;
    const LineKind kind = parseAscFrame(tokens, frame, error);
    if (kind == LineKind::Frame)
        ascLastUs_ = frame.timeUs;
    return kind;
}

LineKind LineParser::parseAscFrame(const std::vector<std::string_view>& tokens, LogFrame& frame,
                                   std::string& error) {
    std::uint32_t channel = 0;
    if (!parseDecimal(tokens[1], channel, 3) || channel < 1 || channel > 256) {
        error = "bad channel '" + std::string(tokens[1]) + "'";
        return LineKind::Malformed;
    }
    frame.channel = static_cast<std::uint8_t>(channel - 1);
    std::string_view id = tokens[2];
    frame.extended = !id.empty() && (id.back() == 'x' || id.back() == 'X');
    if (frame.extended)
        id.remove_suffix(1);
    const bool idOk = ascDecimal_ ? parseDecimal(id, frame.id, 9) : parseHex(id, frame.id);
    if (!idOk || frame.id > (frame.extended ? 0x1FFFFFFFu : 0x7FFu)) {
        error = "bad identifier '" + std::string(tokens[2]) + "'";
        return LineKind::Malformed;
    }
    frame.tx = tokens[3] == "Tx";
    if (tokens.size() < 5 || (tokens[4] != "d" && tokens[4] != "r")) {
        error = "expected 'd' or 'r' after the direction";
        return LineKind::Malformed;
    }
    frame.remote = tokens[4] == "r";
    std::uint32_t length = 0;
    if (tokens.size() < 6) {
        // Older writers give no length for a remote frame.
        if (frame.remote)
            return LineKind::Frame;
        error = "no data length";
        return LineKind::Malformed;
    }
    if (!parseHex(tokens[5], length, 1) || length > 8) {
        error = "bad data length '" + std::string(tokens[5]) + "'";
        return LineKind::Malformed;
    }
    frame.length = static_cast<std::uint8_t>(length);
    if (frame.remote)
        return LineKind::Frame;
    if (tokens.size() < 6 + length) {
        error = "fewer data bytes than the length " + std::to_string(length);
        return LineKind::Malformed;
    }
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t byte = 0;
        const std::string_view text = tokens[6 + i];
        const bool ok = ascDecimal_ ? parseDecimal(text, byte, 3) : parseHex(text, byte, 2);
        if (!ok || byte > 0xFF) {
            error = "bad data byte '" + std::string(text) + "'";
            return LineKind::Malformed;
        }
        frame.data[i] = static_cast<std::uint8_t>(byte);
    }
    return LineKind::Frame;
}

LineKind LineParser::parseCsv(std::string_view line, LogFrame& frame, std::string& error) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.empty() || startsWith(line, "time,") || line[0] == '#')
        return LineKind::Skipped;
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (fields.size() < 9) {
        const auto comma = line.find(',', start);
        fields.push_back(
            line.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 8) {
        error = "expected 8 fields: " + std::string(kCsvHeader);
        return LineKind::Malformed;
    }
    std::uint32_t channel = 0, length = 0;
    if (!parseSeconds(fields[0], frame.timeUs)) {
        error = "bad time '" + std::string(fields[0]) + "'";
        return LineKind::Malformed;
    }
    if (!parseDecimal(fields[1], channel, 3) || channel > 255) {
        error = "bad channel '" + std::string(fields[1]) + "'";
        return LineKind::Malformed;
    }
    frame.channel = static_cast<std::uint8_t>(channel);
    if (fields[2] != "Rx" && fields[2] != "Tx") {
        error = "direction must be Rx or Tx, found '" + std::string(fields[2]) + "'";
        return LineKind::Malformed;
    }
    frame.tx = fields[2] == "Tx";
    if ((fields[4] != "0" && fields[4] != "1") || (fields[5] != "0" && fields[5] != "1")) {
        error = "extended and remote must be 0 or 1";
        return LineKind::Malformed;
    }
    frame.extended = fields[4] == "1";
    frame.remote = fields[5] == "1";
    if (!parseHex(fields[3], frame.id) || frame.id > (frame.extended ? 0x1FFFFFFFu : 0x7FFu)) {
        error = "bad identifier '" + std::string(fields[3]) + "'";
        return LineKind::Malformed;
    }
    if (!parseDecimal(fields[6], length, 1) || length > 8) {
        error = "bad length '" + std::string(fields[6]) + "'";
        return LineKind::Malformed;
    }
    frame.length = static_cast<std::uint8_t>(length);
    const auto bytes = splitTokens(fields[7]);
    if (bytes.size() != (frame.remote ? 0 : length)) {
        error = "expected " + std::to_string(frame.remote ? 0 : length) + " data bytes";
        return LineKind::Malformed;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::uint32_t byte = 0;
        if (!parseHex(bytes[i], byte, 2)) {
            error = "bad data byte '" + std::string(bytes[i]) + "'";
            return LineKind::Malformed;
        }
        frame.data[i] = static_cast<std::uint8_t>(byte);
    }
    return LineKind::Frame;
}

} // namespace canlog
