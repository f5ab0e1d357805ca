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

// A full disk while it lives: no file of this process grows beyond 0 bytes
// (SIGXFSZ ignored, so writes fail with EFBIG instead of ending the process).
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit FSaved{};
    void (*FPreviousHandler)(int) = nullptr;
};

std::string ReadFile(const std::string& fileName);
void WriteFile(const std::string& fileName, const std::string& content);

} // namespace coretest
