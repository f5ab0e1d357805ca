#pragma once

#include <cstdint>
#include <string>

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

std::string ReadFile(const std::string& fileName);
void WriteFile(const std::string& fileName, const std::string& content);

} // namespace coretest
