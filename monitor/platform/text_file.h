#pragma once

#include <string>

namespace platform {

bool FileExists(const std::string& fileName);

// Reads the whole file as bytes. False when it cannot be opened or a read
// fails; `content` then holds what was read before the failure and `error`
// (when given) the reason.
bool ReadWholeFile(const std::string& fileName, std::string& content, std::string* error = nullptr);

// Replaces the file's content atomically: writes a new file beside it under a
// name of its own (so saves by two instances or threads never share one),
// flushes it to the disk and renames it over the old one. On failure the old
// file stays untouched, the new one is removed, and `error` tells why.
bool ReplaceFile(const std::string& fileName, const std::string& content, std::string* error);

} // namespace platform
