// Announcement files of virtual adapters and their order.
#include "transport/link/link_directory.h"
#include "transport/link/link_discovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace ulmar::link;

TEST(LinkDiscovery, ParsesOnlyLoopbackTcpLines) {
    EXPECT_EQ(parseAdapterLine("tcp 127.0.0.1 40123"), 40123);
    EXPECT_EQ(parseAdapterLine("tcp 127.0.0.1 40123\r"), 40123);
    EXPECT_EQ(parseAdapterLine("  tcp  127.0.0.1\t1 "), 1);
    EXPECT_FALSE(parseAdapterLine("tcp 127.0.0.1 0"));
    EXPECT_FALSE(parseAdapterLine("tcp 127.0.0.1 65536"));
    EXPECT_FALSE(parseAdapterLine("tcp 127.0.0.1 12x"));
    EXPECT_FALSE(parseAdapterLine("tcp 10.0.0.1 4000"));
    EXPECT_FALSE(parseAdapterLine("udp 127.0.0.1 4000"));
    EXPECT_FALSE(parseAdapterLine("tcp 127.0.0.1"));
    EXPECT_FALSE(parseAdapterLine("tcp 127.0.0.1 4000 extra"));
    EXPECT_FALSE(parseAdapterLine(""));
}

TEST(LinkDiscovery, ListsAdapterFilesInNameOrder) {
    char pattern[] = "/tmp/ulmar-discovery-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern;
    auto announce = [&](const char* name, const char* line) {
        std::ofstream(dir / name) << line << "\nmore text\n";
    };
    announce("b.adapter", "tcp 127.0.0.1 2002");
    announce("a.adapter", "tcp 127.0.0.1 2001");
    announce("c.adapter", "garbage");
    announce("d.txt", "tcp 127.0.0.1 2004");
    announce("aa.adapter", "tcp 127.0.0.1 2003");
    std::vector<AdapterFile> found;
    EXPECT_TRUE(listAdapterFiles(dir, found));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path.filename(), "a.adapter");
    EXPECT_EQ(found[1].path.filename(), "aa.adapter");
    EXPECT_EQ(found[2].path.filename(), "b.adapter");
    EXPECT_EQ(found[2].port, 2002);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(listAdapterFiles(dir, found)) << "a missing directory lists nothing";
    EXPECT_TRUE(found.empty());
}

TEST(LinkDiscovery, DirectoryFollowsTheEnvironment) {
    ::setenv("ULMAR_DEVICE_DIR", "/somewhere/else", 1);
    EXPECT_EQ(adapterDirectory(), "/somewhere/else");
    ::unsetenv("ULMAR_DEVICE_DIR");
    ::setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
    EXPECT_EQ(adapterDirectory(), "/run/user/7/ulmar");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(adapterDirectory(), "/tmp/ulmar-" + std::to_string(::getuid()));
}
