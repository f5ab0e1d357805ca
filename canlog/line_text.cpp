#include "line_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace canlog {
namespace {

constexpr const char* kHexDigits = "0123456789ABCDEF";

void appendHexByte(std::string& out, std::uint8_t byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

void appendId(std::string& out, std::uint32_t id, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*" PRIX32, minDigits, id);
    out += text;
}

void appendCandump(std::string& out, const LogFrame& frame) {
    out += '(';
    appendSeconds(out, frame.timeUs);
    out += ") can";
    out += std::to_string(frame.channel);
    out += ' ';
    appendId(out, frame.id, frame.extended ? 8 : 3);
    out += '#';
    if (frame.remote) {
        out += 'R';
        if (frame.length != 0)
            out += std::to_string(frame.length);
        return;
    }
    for (std::size_t i = 0; i < frame.length && i < frame.data.size(); ++i)
        appendHexByte(out, frame.data[i]);
}

void appendAsc(std::string& out, const LogFrame& frame, std::int64_t startUs) {
    std::int64_t relative = frame.timeUs - startUs;
    if (relative < 0)
        relative = 0;
    char time[32];
    std::snprintf(time, sizeof time, "%4" PRId64 ".%06" PRId64, relative / 1'000'000,
                  relative % 1'000'000);
    out += time;
    out += ' ';
    out += std::to_string(frame.channel + 1);
    out += "  ";
    std::string id;
    appendId(id, frame.id, 1);
    if (frame.extended)
        id += 'x';
    id.resize(std::max<std::size_t>(id.size(), 15), ' ');
    out += id;
    out += frame.tx ? " Tx   " : " Rx   ";
    out += frame.remote ? "r " : "d ";
    out += kHexDigits[frame.length & 0x0F];
    if (frame.remote)
        return;
    for (std::size_t i = 0; i < frame.length && i < frame.data.size(); ++i) {
        out += ' ';
        appendHexByte(out, frame.data[i]);
    }
}

void appendCsv(std::string& out, const LogFrame& frame) {
    appendSeconds(out, frame.timeUs);
    out += ',';
    out += std::to_string(frame.channel);
    out += frame.tx ? ",Tx," : ",Rx,";
    appendId(out, frame.id, frame.extended ? 8 : 3);
    out += frame.extended ? ",1" : ",0";
    out += frame.remote ? ",1," : ",0,";
    out += std::to_string(frame.length);
    out += ',';
    if (frame.remote)
        return;
    for (std::size_t i = 0; i < frame.length && i < frame.data.size(); ++i) {
        if (i > 0)
            out += ' ';
        appendHexByte(out, frame.data[i]);
    }
}

// "Tue Dec 08 01:02:03.123 PM 2026" in local time, English names whatever the
// locale, as ASC readers expect.
std::string ascDate(std::int64_t us) {
    static constexpr const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::int64_t seconds = us / 1'000'000;
    std::int64_t fraction = us % 1'000'000;
    if (fraction < 0) {
        fraction += 1'000'000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d.%03d %s %d",
                  days[local.tm_wday % 7], months[local.tm_mon % 12], local.tm_mday, hour12,
                  local.tm_min, local.tm_sec, static_cast<int>(fraction / 1000),
                  local.tm_hour < 12 ? "AM" : "PM", local.tm_year + 1900);
    return text;
}

} // namespace

void appendSeconds(std::string& out, std::int64_t us) {
    if (us < 0) {
        out += '-';
        us = -us;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, us / 1'000'000, us % 1'000'000);
    out += text;
}

void appendFrameLine(std::string& out, Format format, const LogFrame& frame, std::int64_t startUs) {
    switch (format) {
    case Format::Candump:
        appendCandump(out, frame);
        break;
    case Format::Asc:
        appendAsc(out, frame, startUs);
        break;
    case Format::Csv:
        appendCsv(out, frame);
        break;
    }
}

std::string fileHeader(Format format, std::int64_t startUs) {
    switch (format) {
    case Format::Candump:
        return {};
    case Format::Asc: {
        const std::string date = ascDate(startUs);
        return "date " + date + "\nbase hex  timestamps absolute\ninternal events logged\n" +
               "// version 9.0.0\nBegin Triggerblock " + date +
               "\n   0.000000 Start of measurement\n";
    }
    case Format::Csv:
        return std::string(kCsvHeader) + "\n";
    }
    return {};
}

std::string fileFooter(Format format) {
    return format == Format::Asc ? "End TriggerBlock\n" : std::string();
}

} // namespace canlog
