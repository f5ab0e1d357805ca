#include "log_reader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>

#include "line_parser.h"

namespace canlog {
namespace {

// Calls `line(text, tooLong)` for every line of `in`; a line longer than
// kMaxLineLength is cut there and the rest of it skipped.
template <typename LineFn> void forEachLine(std::istream& in, LineFn line) {
    std::array<char, kMaxLineLength + 2> buffer{};
    while (true) {
        in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (in.bad())
            return;
        if (in.fail() && got == buffer.size() - 1) {
            // No terminator within the buffer: the line is too long.
            line(std::string_view(), true);
            if (in.eof())
                return;
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            if (!in || in.eof())
                return;
            continue;
        }
        if (got == 0 && in.eof())
            return;
        // gcount counts the extracted terminator, which getline does not store.
        const std::size_t length = std::strlen(buffer.data());
        std::string_view text(buffer.data(), length);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        line(text, false);
        if (in.eof() || in.fail())
            return;
    }
}

} // namespace

std::string LogContents::summary() const {
    if (malformedLines == 0)
        return {};
    std::string text =
        std::to_string(malformedLines) +
        (malformedLines == 1 ? " malformed line skipped" : " malformed lines skipped");
    if (!problems.empty())
        text += "; " + problems.front();
    return text;
}

LogContents readLog(std::istream& in, Format format) {
    LogContents contents;
    contents.format = format;
    LineParser parser(format);
    LogFrame frame;
    std::string error;
    std::size_t number = 0;
    forEachLine(in, [&](std::string_view text, bool tooLong) {
        ++number;
        LineKind kind = LineKind::Malformed;
        error.clear();
        if (tooLong)
            error = "line longer than " + std::to_string(kMaxLineLength) + " characters";
        else
            kind = parser.parse(text, frame, error);
        if (kind == LineKind::Frame) {
            contents.frames.push_back(frame);
        } else if (kind == LineKind::Malformed) {
            ++contents.malformedLines;
            if (contents.problems.size() < kMaxProblems)
                contents.problems.push_back("line " + std::to_string(number) + ": " + error);
        }
    });
    return contents;
}

std::optional<LogContents> readLogFile(const std::string& path, std::optional<Format> format,
                                       std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (!format)
        format = formatFromPath(path);
    if (!format) {
        std::string first;
        while (!format && std::getline(in, first) && first.size() <= kMaxLineLength) {
            if (first.find_first_not_of(" \t\r") != std::string::npos)
                format = formatFromFirstLine(first);
            if (first.find_first_not_of(" \t\r") != std::string::npos)
                break;
        }
        in.clear();
        in.seekg(0);
    }
    if (!format) {
        error = path + ": not a candump, ASC or CSV log (use the extension .log, .asc or .csv)";
        return std::nullopt;
    }
    return readLog(in, *format);
}

} // namespace canlog
