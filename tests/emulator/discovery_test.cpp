#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "discovery.h"

namespace emu {
namespace {

// Restores the variables this test changes.
class DiscoveryEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"ULMAR_DEVICE_DIR", "XDG_RUNTIME_DIR"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        char pattern[] = "/tmp/emu-discovery-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::filesystem::remove_all(root_);
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    std::string root_;
};

TEST_F(DiscoveryEnvironment, DirectoryFollowsTheVariablesInOrder) {
    ::setenv("ULMAR_DEVICE_DIR", "/some/dir", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
    EXPECT_EQ(discoveryDirectory(), "/some/dir");
    ::unsetenv("ULMAR_DEVICE_DIR");
    EXPECT_EQ(discoveryDirectory(), "/run/user/7/ulmar");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(discoveryDirectory(), "/tmp/ulmar-" + std::to_string(::getuid()));
}

TEST_F(DiscoveryEnvironment, PublishesCreatesThePrivateDirectoryAndRemoves) {
    const std::string dir = root_ + "/nested/ulmar";
    std::string error;
    {
        DiscoveryFile file;
        ASSERT_TRUE(file.publish(dir, "bench", 4242, error)) << error;
        EXPECT_EQ(file.path(), dir + "/bench.adapter");
        std::ifstream in(file.path());
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "tcp 127.0.0.1 4242");
        const auto perms = std::filesystem::status(dir).permissions();
        EXPECT_EQ(perms & std::filesystem::perms::others_all, std::filesystem::perms::none);
        // Only the final file remains: the temporary one was renamed.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                                std::filesystem::directory_iterator()),
                  1);
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/bench.adapter"));
}

TEST_F(DiscoveryEnvironment, PublishReportsADirectoryItCannotCreate) {
    std::ofstream(root_ + "/file") << "x";
    DiscoveryFile file;
    std::string error;
    EXPECT_FALSE(file.publish(root_ + "/file/sub", "a", 1, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(DiscoveryEnvironment, PublishRefusesADirectoryOthersControl) {
    namespace fs = std::filesystem;
    const std::string shared = root_ + "/shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all);
    const std::string link = root_ + "/link";
    fs::create_directory_symlink(root_, link);
    DiscoveryFile file;
    for (const std::string& dir : {shared, link}) {
        std::string error;
        EXPECT_FALSE(file.publish(dir, "a", 1, error)) << dir;
        EXPECT_NE(error.find("refusing"), std::string::npos) << error;
    }
    EXPECT_FALSE(fs::exists(shared + "/a.adapter"));
    if (::getuid() == 0) {
        // Only root can hand a directory to another user.
        const std::string foreign = root_ + "/foreign";
        ::mkdir(foreign.c_str(), 0700);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        std::string error;
        EXPECT_FALSE(file.publish(foreign, "a", 1, error));
    }
}

TEST(Discovery, AdapterNamesAreSafeFileNames) {
    EXPECT_TRUE(isValidAdapterName("virtual0"));
    EXPECT_TRUE(isValidAdapterName("bench-1_a.b"));
    EXPECT_FALSE(isValidAdapterName(""));
    EXPECT_FALSE(isValidAdapterName(".hidden"));
    EXPECT_FALSE(isValidAdapterName("a/b"));
    EXPECT_FALSE(isValidAdapterName("a b"));
    EXPECT_FALSE(isValidAdapterName(std::string(65, 'a')));
}

} // namespace
} // namespace emu
