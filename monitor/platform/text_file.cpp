#include "platform/text_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace platform {
namespace {

void SetError(std::string* error, const std::string& what, int code) {
    if (error != nullptr)
        *error = what + ": " + std::strerror(code);
}

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// A name beside `fileName` that no other save uses at the same time: the
// process id keeps two instances apart, the counter two saves of this one.
std::string TemporaryNameFor(const std::string& fileName) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const int process = _getpid();
#else
    const int process = static_cast<int>(getpid());
#endif
    return fileName + ".new." + std::to_string(process) + "." + std::to_string(++counter);
}

} // namespace

bool FileExists(const std::string& fileName) {
    std::error_code error;
    return std::filesystem::exists(fileName, error);
}

bool ReadWholeFile(const std::string& fileName, std::string& content, std::string* error) {
    content.clear();
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        SetError(error, "cannot open " + fileName, errno);
        return false;
    }
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int code = errno;
    std::fclose(file);
    if (failed)
        SetError(error, "cannot read " + fileName, code);
    return !failed;
}

bool ReplaceFile(const std::string& fileName, const std::string& content, std::string* error) {
    const std::string temporary = TemporaryNameFor(fileName);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        SetError(error, "cannot create " + temporary, errno);
        return false;
    }
    const bool written =
        std::fwrite(content.data(), 1, content.size(), file) == content.size() && FlushToDisk(file);
    const int code = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        SetError(error, "cannot write " + temporary, written ? errno : code);
        std::remove(temporary.c_str());
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, fileName, renameError);
    if (renameError) {
        if (error != nullptr)
            *error = "cannot replace " + fileName + ": " + renameError.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace platform
