#include "discovery.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emu {

std::string discoveryDirectory() {
    if (const char* dir = std::getenv("ULMAR_DEVICE_DIR"); dir && *dir)
        return dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return std::string(runtime) + "/ulmar";
    return "/tmp/ulmar-" + std::to_string(::getuid());
}

bool isValidAdapterName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.')
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

namespace {

// True when an adapter already answers on the port named in `file`.
bool fileNamesLiveAdapter(const std::string& file) {
    std::ifstream in(file);
    std::string transport, host;
    unsigned port = 0;
    if (!(in >> transport >> host >> port) || transport != "tcp" || port == 0 || port > 65535)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool live = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return live;
}

// Creates `directory` for this user alone if it is missing; false with a
// reason when it cannot, or when it is not a real directory of this user that
// only this user may write to: hosts trust whatever port a file there names.
bool preparePrivateDirectory(const std::string& directory, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path parent = fs::path(directory).parent_path();
    if (!parent.empty())
        fs::create_directories(parent, ec);
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + directory + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::lstat(directory.c_str(), &info) != 0) {
        error = "cannot examine " + directory + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = "refusing " + directory +
                ": not a directory of this user that only this user may write to";
        return false;
    }
    return true;
}

} // namespace

DiscoveryFile::~DiscoveryFile() {
    remove();
}

bool DiscoveryFile::publish(const std::string& directory, const std::string& name,
                            std::uint16_t port, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!preparePrivateDirectory(directory, error))
        return false;
    const std::string finalPath = directory + "/" + name + ".adapter";
    // A file left by an adapter that was killed is replaced; a live one is not.
    if (fileNamesLiveAdapter(finalPath)) {
        error = "an adapter named '" + name + "' is already running (" + finalPath + ")";
        return false;
    }
    const std::string tempPath = directory + "/." + name + ".adapter." + std::to_string(::getpid());
    {
        std::ofstream out(tempPath, std::ios::trunc);
        out << "tcp 127.0.0.1 " << port << "\n";
        out.flush();
        if (!out) {
            error = "cannot write " + tempPath;
            fs::remove(tempPath, ec);
            return false;
        }
    }
    fs::rename(tempPath, finalPath, ec);
    if (ec) {
        error = "cannot publish " + finalPath + ": " + ec.message();
        fs::remove(tempPath, ec);
        return false;
    }
    path_ = finalPath;
    return true;
}

void DiscoveryFile::remove() {
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    path_.clear();
}

} // namespace emu
