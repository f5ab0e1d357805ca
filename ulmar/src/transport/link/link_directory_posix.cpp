#include "transport/link/link_directory.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ulmar::link {

std::filesystem::path defaultAdapterDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0')
        return std::filesystem::path(runtime) / "ulmar";
    return "/tmp/ulmar-" + std::to_string(::getuid());
}

bool isPrivateDirectory(const std::filesystem::path& directory) {
    struct stat info {};
    if (::lstat(directory.c_str(), &info) != 0)
        return errno == ENOENT;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace ulmar::link
