#include "platform/executable_dir.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

std::string ExecutableDir() {
    std::filesystem::path exe;
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (length == 0 || length >= std::size(buffer))
        return {};
    exe = std::filesystem::path(std::wstring(buffer, length));
#else
    std::error_code error;
    exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
#endif
    std::string dir = exe.parent_path().string();
    if (dir.empty())
        return {};
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (dir.back() != separator)
        dir += separator;
    return dir;
}

} // namespace platform
