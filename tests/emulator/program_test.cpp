// ulmar-emu as a program: help, exit codes, its discovery file and its traffic options.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

#include "link_helpers.h"
#include "options.h"

namespace emu::testing {
namespace {

using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

struct RunResult {
    int exitCode = -1;
    std::string output;
};

RunResult run(const std::string& arguments) {
    RunResult result;
    const std::string commandLine = EmuProcess::programPath() + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(Program, HelpExitsZeroAndExplainsEveryOption) {
    const auto r = run("--help");
    EXPECT_EQ(r.exitCode, 0);
    for (const auto& name : optionNames())
        EXPECT_NE(r.output.find(name), std::string::npos) << name;
}

TEST(Program, BadCommandLineExitsTwo) {
    const auto r = run("--flood 500");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("--flood"), std::string::npos);
}

TEST(Program, UnreadableReplayFileExitsOne) {
    DeviceDir dir;
    EXPECT_EQ(run("--replay " + dir.path() + "/missing.log").exitCode, 1);
}

TEST(Program, PublishesItsPortAndRemovesTheFileOnSigterm) {
    DeviceDir dir;
    EmuProcess emu(dir, "clean");
    std::ifstream file(emu.adapterFile());
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, "tcp 127.0.0.1 " + std::to_string(emu.port()));
    // Open connections do not keep it from stopping.
    auto pipe = openPipe(emu.port(), 0x81);
    EXPECT_EQ(emu.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(emu.adapterFile()));
    EXPECT_TRUE(pipe->closedByPeer());
}

TEST(Program, RefusesANameThatIsAlreadyRunningButReplacesAStaleFile) {
    DeviceDir dir;
    {
        EmuProcess first(dir, "twin");
        EXPECT_EQ(run("--name twin").exitCode, 1);
        EXPECT_TRUE(std::filesystem::exists(first.adapterFile()));
    }
    // A file whose port no longer answers does not block the name.
    std::ofstream(dir.adapterFile("twin")) << "tcp 127.0.0.1 1\n";
    EmuProcess again(dir, "twin");
    EXPECT_NE(again.port(), 1);
}

TEST(Program, DemoTrafficReachesAStartedChannel) {
    DeviceDir dir;
    EmuProcess emu(dir, "demo", {"--demo"});
    startChannelOverLink(emu.port(), 1, 0x01, 0x1C); // 250 kbit/s
    auto in = openPipe(emu.port(), 0x83);
    const auto got = readFrames(*in, 30);
    ASSERT_GE(got.size(), 30u);
    bool extended = false;
    for (const auto& f : got)
        extended |= f.extended;
    EXPECT_TRUE(extended);
}

TEST(Program, ReplaysLogsInEveryFormat) {
    const std::pair<std::string, std::string> logs[] = {
        {"trace.log", "(100.000) can0 123#11223344\n(100.010) can0 00000456#R\n"},
        {"trace.asc", "date Tue Dec 08 01:02:03.000 PM 2026\nbase hex  timestamps absolute\n"
                      "Begin Triggerblock Tue Dec 08 01:02:03.000 PM 2026\n"
                      "   0.000000 1  123             Rx   d 4 11 22 33 44\n"
                      "   0.010000 1  456x            Tx   r 0\nEnd TriggerBlock\n"},
        {"trace.txt", "time,channel,direction,id,extended,remote,length,data\n"
                      "100.000,0,Rx,123,0,0,4,11 22 33 44\n100.010,0,Rx,00000456,1,1,0,\n"},
    };
    for (const auto& [name, text] : logs) {
        SCOPED_TRACE(name);
        DeviceDir dir;
        const std::string log = dir.path() + "/" + name;
        std::ofstream(log) << text;
        EmuProcess emu(dir, "replay", {"--replay", log});
        startChannelOverLink(emu.port(), 0);
        auto in = openPipe(emu.port(), 0x81);
        const auto got = readFrames(*in, 2);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].id, 0x123u);
        EXPECT_EQ(got[0].length, 4);
        EXPECT_EQ(got[0].data[3], 0x44);
        EXPECT_EQ(got[1].id, 0x456u);
        EXPECT_TRUE(got[1].extended);
        EXPECT_TRUE(got[1].remote);
    }
}

TEST(Program, RefusesAReplayFileWithNoFrameInIt) {
    DeviceDir dir;
    const std::string log = dir.path() + "/notes.log";
    std::ofstream(log) << "this is not\na log\n";
    EXPECT_EQ(run("--replay " + log).exitCode, 1);
}

} // namespace
} // namespace emu::testing
