#include "test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>
#include <unistd.h>

namespace coretest {

TempDir::TempDir() {
    static std::atomic<int> serial{0};
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::ostringstream name;
    name << "tessel-core-" << getpid() << "-" << serial.fetch_add(1) << "-"
         << (info != nullptr ? info->name() : "none");
    const auto path = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(path);
    FPath = path.string() + "/";
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(FPath, error);
}

std::string ReadFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& fileName, const std::string& content) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << content;
}

} // namespace coretest
