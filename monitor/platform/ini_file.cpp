#include "platform/ini_file.h"

#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/text_file.h"

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (std::tolower(ca) != std::tolower(cb))
            return false;
    }
    return true;
}

// One line of the file with its terminator, as read.
struct Line {
    std::string Text; // including "\n" or "\r\n" when the line had one

    std::string Content() const { return Trim(Text); }
    bool IsComment() const {
        const std::string content = Content();
        return !content.empty() && (content[0] == ';' || content[0] == '#');
    }
    std::optional<std::string> SectionName() const {
        const std::string content = Content();
        if (content.empty() || content[0] != '[')
            return std::nullopt;
        const std::size_t close = content.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        return Trim(content.substr(1, close - 1));
    }
    std::optional<std::string> KeyName() const {
        if (IsComment() || SectionName())
            return std::nullopt;
        const std::size_t equals = Text.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        return Trim(Text.substr(0, equals));
    }
    std::string Value() const { return Trim(Text.substr(Text.find('=') + 1)); }
};

std::vector<Line> SplitLines(const std::string& content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        end = end == std::string::npos ? content.size() : end + 1;
        lines.push_back({content.substr(start, end - start)});
        start = end;
    }
    return lines;
}

std::string LineEnding(const std::string& content) {
    if (content.find("\r\n") != std::string::npos)
        return "\r\n";
    if (content.find('\n') != std::string::npos)
        return "\n";
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

// Where a section starts and ends: header index and one past its last line.
struct SectionRange {
    std::size_t Header;
    std::size_t End;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines,
                                        const std::string& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = lines[i].SectionName();
        if (!name || !SameName(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !lines[end].SectionName())
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range,
                                   const std::string& key) {
    for (std::size_t i = range.Header + 1; i < range.End; ++i) {
        const auto name = lines[i].KeyName();
        if (name && SameName(*name, key))
            return i;
    }
    return std::nullopt;
}

// Digits of the base making a value of at most 32 bits; nothing else.
std::optional<std::uint32_t> ParseDigits(std::string_view digits, unsigned base) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char raw : digits) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// A decimal number that fits a signed 32-bit value, or a hexadecimal one
// after "0x" or "$" taken as a 32-bit pattern (so $FFFFFFFF is -1); either
// with an optional sign.
std::optional<std::int32_t> ParseInteger(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    const bool hex = text.starts_with("0x") || text.starts_with("0X") || text.starts_with("$");
    if (hex)
        text.remove_prefix(text.front() == '$' ? 1 : 2);
    const auto magnitude = ParseDigits(text, hex ? 16 : 10);
    if (!magnitude)
        return std::nullopt;
    if (!hex && *magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu))
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? 0u - *magnitude : *magnitude);
}

} // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    std::string content;
    if (!ReadWholeFile(FFileName, content))
        return defaultValue;
    const std::vector<Line> lines = SplitLines(content);
    const auto range = FindSection(lines, section);
    if (!range)
        return defaultValue;
    const auto index = FindKey(lines, *range, key);
    return index ? lines[*index].Value() : defaultValue;
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                   std::int32_t defaultValue) const {
    const auto value = ParseInteger(ReadString(section, key, std::string()));
    return value ? *value : defaultValue;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    std::string content;
    if (!ReadWholeFile(FFileName, content) && FileExists(FFileName))
        return false; // never overwrite a file that exists but cannot be read
    const std::string eol = LineEnding(content);
    std::vector<Line> lines = SplitLines(content);
    auto terminate = [&](std::size_t index) {
        if (index < lines.size() && (lines[index].Text.empty() || lines[index].Text.back() != '\n'))
            lines[index].Text += eol;
    };
    const auto range = FindSection(lines, section);
    if (!range) {
        if (!lines.empty())
            terminate(lines.size() - 1);
        lines.push_back({"[" + section + "]" + eol});
        lines.push_back({key + "=" + value + eol});
    } else if (const auto index = FindKey(lines, *range, key)) {
        Line& line = lines[*index];
        const std::string oldEol = line.Text.substr(line.Text.find_last_not_of("\r\n") + 1);
        line.Text = line.Text.substr(0, line.Text.find('=') + 1) + value + oldEol;
    } else {
        // After the section's last line that is not blank, so that blank lines
        // separating it from the next section stay where they are.
        std::size_t last = range->Header;
        for (std::size_t i = range->Header + 1; i < range->End; ++i)
            if (!lines[i].Content().empty())
                last = i;
        terminate(last);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last + 1),
                     {key + "=" + value + eol});
    }
    std::string output;
    for (const Line& line : lines)
        output += line.Text;
    return ReplaceFile(FFileName, output, nullptr);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key,
                            std::int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

} // namespace platform
