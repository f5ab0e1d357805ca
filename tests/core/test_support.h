#pragma once

#include <cstdint>
#include <string>

#include <sys/resource.h>

namespace coretest {

// A fresh empty folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path with a trailing separator.
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& name) const { return FPath + name; }

private:
    std::string FPath;
};

// While alive, files this process writes cannot grow at all, as on a full
// disk: writes fail with EFBIG (SIGXFSZ is ignored meanwhile). Works for
// root too, unlike permissions.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit FPrevious{};
    void (*FPreviousHandler)(int) = nullptr;
};

std::string ReadFile(const std::string& fileName);
void WriteFile(const std::string& fileName, const std::string& content);

} // namespace coretest
