// The command-line tools against ulmar-emu, through the real libulmar.so.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "emu_process.h"
#include "line_text.h"
#include "log_reader.h"
#include "tool_process.h"

using tessel::test::DeviceDir;
using tessel::test::EmuProcess;
using tools_test::readFile;
using tools_test::runTool;
using tools_test::ToolProcess;

namespace {

const std::string kDump = ULMAR_DUMP_PATH;
const std::string kSend = ULMAR_SEND_PATH;
const std::string kPlay = ULMAR_PLAY_PATH;

// A log on both channels with every kind of frame, 0.5 to 3.6 ms apart in
// steps of 0.1 ms.
std::vector<canlog::LogFrame> replayFrames() {
    std::vector<canlog::LogFrame> frames;
    std::int64_t time = 1'700'000'000'000'000;
    for (std::uint32_t i = 0; i < 40; ++i) {
        canlog::LogFrame f;
        f.timeUs = time;
        f.channel = static_cast<std::uint8_t>(i % 2);
        f.extended = i % 3 == 0;
        f.id = f.extended ? 0x18FEF000 + i : 0x100 + i;
        f.remote = i % 7 == 3;
        f.length = static_cast<std::uint8_t>(i % 9);
        for (std::uint8_t b = 0; !f.remote && b < f.length; ++b)
            f.data[b] = static_cast<std::uint8_t>(i * 16 + b);
        frames.push_back(f);
        time += 500 + 100 * static_cast<std::int64_t>((i * 7) % 32);
    }
    return frames;
}

void writeLog(const std::string& path, const std::vector<canlog::LogFrame>& frames) {
    std::ofstream out(path);
    for (const auto& frame : frames) {
        std::string line;
        canlog::appendFrameLine(line, canlog::Format::Candump, frame, 0);
        out << line << '\n';
    }
}

std::vector<canlog::LogFrame> onChannel(const std::vector<canlog::LogFrame>& frames,
                                        std::uint8_t channel) {
    std::vector<canlog::LogFrame> result;
    for (const auto& frame : frames) {
        if (frame.channel == channel)
            result.push_back(frame);
    }
    return result;
}

// Same frames in the same order per channel; `spacingUs` > 0 also checks
// that every frame's distance to the channel's first frame matches.
void expectSameTraffic(const std::vector<canlog::LogFrame>& got,
                       const std::vector<canlog::LogFrame>& sent, std::int64_t spacingUs) {
    for (std::uint8_t channel : {0, 1}) {
        SCOPED_TRACE("channel " + std::to_string(channel));
        const auto a = onChannel(got, channel);
        const auto b = onChannel(sent, channel);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].id, b[i].id) << "frame " << i;
            EXPECT_EQ(a[i].extended, b[i].extended) << "frame " << i;
            EXPECT_EQ(a[i].remote, b[i].remote) << "frame " << i;
            EXPECT_EQ(a[i].length, b[i].length) << "frame " << i;
            EXPECT_EQ(a[i].data, b[i].data) << "frame " << i;
            if (spacingUs > 0) {
                const auto gotSpan = a[i].timeUs - a[0].timeUs;
                const auto sentSpan = b[i].timeUs - b[0].timeUs;
                EXPECT_LE(std::abs(gotSpan - sentSpan), spacingUs)
                    << "frame " << i << ": " << gotSpan << " µs after the first, logged "
                    << sentSpan;
            }
        }
    }
}

canlog::LogContents readLog(const std::string& path) {
    std::string error;
    auto contents = canlog::readLogFile(path, std::nullopt, error);
    EXPECT_TRUE(contents) << error;
    return contents.value_or(canlog::LogContents{});
}

// The adapter stamps a frame at its end, 0.1 ms units: lengths that differ by
// up to 8 bytes at 1 Mbit/s and the rounding of two stamps stay below this.
constexpr std::int64_t kSpacingToleranceUs = 200;

TEST(ToolsE2E, DumpRecordsAnEmulatorReplayFrameForFrameWithItsSpacing) {
    DeviceDir dir;
    const auto frames = replayFrames();
    writeLog(dir.path() + "/replay.log", frames);
    for (const char* format : {"csv", "asc", "log"}) {
        SCOPED_TRACE(format);
        // A replay starts when a channel of its bus is started, once.
        EmuProcess emu(dir, std::string("replay-") + format,
                       {"--separate-buses", "--replay", dir.path() + "/replay.log"});
        const std::string log = dir.path() + "/dump." + format;
        ASSERT_EQ(
            runTool(kDump,
                    {"-b", "1000000", "-n", std::to_string(frames.size()), "-T", "60", "-l", log},
                    dir.path() + "/out", dir.path() + "/err"),
            0)
            << readFile(dir.path() + "/err");
        const auto got = readLog(log);
        EXPECT_EQ(got.malformedLines, 0u) << got.summary();
        expectSameTraffic(got.frames, frames, kSpacingToleranceUs);
        EXPECT_NE(readFile(dir.path() + "/err").find("lost 0"), std::string::npos);
        EXPECT_EQ(emu.stop(), 0);
    }
}

// Frames after the last one with identifier 7FF, which marks the start.
std::vector<canlog::LogFrame> afterMarker(const std::string& path) {
    std::istringstream in(readFile(path));
    auto frames = canlog::readLog(in, canlog::Format::Candump).frames;
    std::size_t start = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].id == 0x7FF && !frames[i].extended)
            start = i + 1;
    }
    return start == 0 ? std::vector<canlog::LogFrame>{}
                      : std::vector<canlog::LogFrame>(frames.begin() + start, frames.end());
}

TEST(ToolsE2E, PlayAndSendAreRecordedByDump) {
    DeviceDir dir;
    const auto frames = replayFrames();
    writeLog(dir.path() + "/play.log", frames);
    // One bus: what channel 0 sends, channel 1 receives and the reverse.
    EmuProcess emu(dir, "bus");
    const std::string dumped = dir.path() + "/dump.log";
    ToolProcess dump(kDump, {"-b", "1000000"}, dumped, dir.path() + "/dump.err");
    const std::vector<std::string> marker = {"-c", "0", "-b", "1000000", "7FF#"};
    // Frames sent before the dump has started its channels reach nobody: send
    // a marker until the dump has recorded one.
    bool started = false;
    for (int attempt = 0; attempt < 30 && !started; ++attempt) {
        ASSERT_EQ(runTool(kSend, marker, dir.path() + "/send.out", dir.path() + "/send.err"), 0)
            << readFile(dir.path() + "/send.err");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!(started = readFile(dumped).find(" can1 7FF#") != std::string::npos) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(started) << readFile(dir.path() + "/dump.err");
    ASSERT_EQ(runTool(kSend, {"-c", "1", "-b", "1000000", "1FFFFFFF#R8", "123#01.02"},
                      dir.path() + "/send.out", dir.path() + "/send.err"),
              0)
        << readFile(dir.path() + "/send.err");
    ASSERT_EQ(runTool(kPlay, {"-b", "1000000", dir.path() + "/play.log"}, dir.path() + "/play.out",
                      dir.path() + "/play.err"),
              0)
        << readFile(dir.path() + "/play.err");
    EXPECT_NE(readFile(dir.path() + "/play.err").find("timing error worst"), std::string::npos);
    // The dump flushes at least once a second.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (afterMarker(dumped).size() < frames.size() + 2 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dump.signal(SIGTERM);
    ASSERT_EQ(dump.wait(), 0) << readFile(dir.path() + "/dump.err");
    auto got = afterMarker(dumped);
    ASSERT_EQ(got.size(), frames.size() + 2) << readFile(dumped);
    // Sent on channel 1, so received on channel 0.
    EXPECT_EQ(got[0].channel, 0);
    EXPECT_TRUE(got[0].extended);
    EXPECT_TRUE(got[0].remote);
    EXPECT_EQ(got[0].length, 8);
    EXPECT_EQ(got[1].id, 0x123u);
    EXPECT_EQ(got[1].data[1], 0x02);
    got.erase(got.begin(), got.begin() + 2);
    // Played on channel n, received on the other one.
    for (auto& frame : got)
        frame.channel = static_cast<std::uint8_t>(1 - frame.channel);
    expectSameTraffic(got, frames, 0);
}

TEST(ToolsE2E, DumpKeepsStandardOutputACleanLogWhenTheLibraryComplains) {
    DeviceDir dir;
    // The link drops after a while; Ulmar prints "Error: -1" to standard output.
    EmuProcess emu(dir, "flaky", {"--demo", "--drop-after", "60"});
    const int code = runTool(kDump, {"-T", "30"}, dir.path() + "/out.log", dir.path() + "/err.txt");
    EXPECT_EQ(code, 1);
    const std::string err = readFile(dir.path() + "/err.txt");
    EXPECT_NE(err.find("Error: "), std::string::npos) << err;
    EXPECT_NE(err.find("stopped answering"), std::string::npos) << err;
    std::istringstream out(readFile(dir.path() + "/out.log"));
    const auto log = canlog::readLog(out, canlog::Format::Candump);
    EXPECT_GT(log.frames.size(), 0u);
    EXPECT_EQ(log.malformedLines, 0u) << log.summary();
}

TEST(ToolsE2E, StopSignalWritesEveryFrameAndReports) {
    DeviceDir dir;
    EmuProcess emu(dir, "demo", {"--demo"});
    ToolProcess dump(kDump, {"-c", "1", "--format", "csv"}, dir.path() + "/out.csv",
                     dir.path() + "/err");
    // Wait until frames flow (the log is flushed at least once a second).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (readFile(dir.path() + "/out.csv").size() < 2000 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dump.signal(SIGINT);
    ASSERT_EQ(dump.wait(), 0);
    std::istringstream out(readFile(dir.path() + "/out.csv"));
    const auto log = canlog::readLog(out, canlog::Format::Csv);
    EXPECT_EQ(log.malformedLines, 0u) << log.summary();
    const std::string err = readFile(dir.path() + "/err");
    EXPECT_NE(err.find("channel 1: " + std::to_string(log.frames.size()) + " frames"),
              std::string::npos)
        << err;
}

TEST(ToolsE2E, BadCommandLinesExitTwoAndHelpExitsZero) {
    DeviceDir dir;
    const std::string out = dir.path() + "/out", err = dir.path() + "/err";
    for (const auto& tool : {kDump, kSend, kPlay}) {
        EXPECT_EQ(runTool(tool, {"--help"}, out, err), 0) << tool;
        EXPECT_NE(readFile(out).find("Exit codes"), std::string::npos) << tool;
        EXPECT_EQ(runTool(tool, {"--bogus"}, out, err), 2) << tool;
    }
    EXPECT_EQ(runTool(kDump, {"-b", "12345"}, out, err), 2);
    EXPECT_EQ(runTool(kDump, {"-c", "2"}, out, err), 2);
    EXPECT_EQ(runTool(kSend, {"12G#00"}, out, err), 2);
    EXPECT_EQ(runTool(kPlay, {}, out, err), 2);
    // No adapter in this directory: a failure, not a usage error.
    EXPECT_EQ(runTool(kDump, {"-n", "1"}, out, err), 1);
    EXPECT_EQ(runTool(kPlay, {dir.path() + "/missing.log"}, out, err), 1);
}

} // namespace
