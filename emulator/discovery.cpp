#include "discovery.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

DiscoveryFile::~DiscoveryFile() {
    remove();
}

bool DiscoveryFile::publish(const std::string& directory, const std::string& name,
                            std::uint16_t port, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec) {
        error = "cannot create " + directory + ": " + ec.message();
        return false;
    }
    const std::string finalPath = directory + "/" + name + ".adapter";
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
