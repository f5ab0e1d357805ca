#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Access to an INI profile file of [section] lines and key=value lines, one
// value at a time, with the semantics of the Windows profile functions:
// every read opens the file anew, every write rewrites it. Section and key
// names compare without regard to ASCII case. A write changes or adds exactly
// one line (or one section header plus one line) and leaves every other line
// of the file byte for byte as it was. Writes replace the file atomically
// (new file beside it, then rename), so a failed write leaves the old file.
// Not shared between threads; each user makes its own object.
class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    // The value of the key, or defaultValue when the file, the section or the
    // key is missing. Surrounding blanks are trimmed.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // The value as a signed 32-bit integer (decimal, optional sign, or
    // hexadecimal after "0x" or "$"); defaultValue when missing or when the
    // value is not such a number.
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t defaultValue) const;

    // Sets the key's value, adding the key or its section when missing, and
    // creating the file when missing. False when the file cannot be written.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);

private:
    std::string FFileName;
};

} // namespace platform
