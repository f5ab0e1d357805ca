// The real monitor program, offscreen, ended by a signal as a logout or
// `kill` ends it: it closes in order and saves the settings file and both
// transmit lists; a save that fails is reported on standard error.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "child_process_posix.h"
#include "emu_process.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitFor(const fs::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A copy of the program in a folder of its own, where it keeps its files.
class TesselCopy {
public:
    TesselCopy() {
        std::string pattern = (fs::temp_directory_path() / "tessel-signal-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        FDir = pattern;
        fs::copy_file(TESSEL_PROGRAM, FDir / "tessel");
    }
    ~TesselCopy() {
        if (FErrors >= 0)
            ::close(FErrors);
        std::error_code ignored;
        fs::remove_all(FDir, ignored);
    }

    // Starts it offscreen with its standard error into a pipe (read by
    // Errors()); with `fileSizeLimit`, every file write beyond that many
    // bytes fails.
    pid_t Start(long fileSizeLimit = -1) {
        const std::string program = (FDir / "tessel").string();
        int errors[2];
        if (::pipe(errors) != 0)
            return -1;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::dup2(errors[1], STDERR_FILENO);
            ::close(errors[0]);
            ::close(errors[1]);
            if (fileSizeLimit >= 0) {
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{static_cast<rlim_t>(fileSizeLimit),
                             static_cast<rlim_t>(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(errors[1]);
        FErrors = errors[0];
        return pid;
    }

    // Everything the program wrote to standard error, once it has ended.
    std::string Errors() {
        std::string text;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(FErrors, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(got));
        return text;
    }

    fs::path File(const std::string& name) const { return FDir / name; }

private:
    fs::path FDir;
    int FErrors = -1;
};

TEST(TesselSignals, EachSignalClosesInOrderAndSavesBothFiles) {
    // No adapter anywhere: only the window and its files matter here.
    tessel::test::DeviceDir devices;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        TesselCopy tessel;
        const pid_t pid = tessel.Start();
        ASSERT_GT(pid, 0);
        // The settings file is made (empty) while the window is built.
        ASSERT_TRUE(WaitFor(tessel.File("Tessel.ini")));
        ASSERT_EQ(::kill(pid, signalNumber), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_EQ(tessel::test::decodeWaitStatus(status), 0) << "signal " << signalNumber;
        const std::string settings = ReadText(tessel.File("Tessel.ini"));
        EXPECT_NE(settings.find("CanRate_channel0=250000"), std::string::npos) << settings;
        EXPECT_NE(settings.find("CanMode_channel1=0"), std::string::npos) << settings;
        EXPECT_TRUE(fs::exists(tessel.File("trans_list_zlg_ch0.dat")));
        EXPECT_TRUE(fs::exists(tessel.File("trans_list_zlg_ch1.dat")));
    }
}

TEST(TesselSignals, FailedSaveAtExitIsReportedOnStandardError) {
    tessel::test::DeviceDir devices;
    TesselCopy tessel;
    std::ofstream(tessel.File("trans_list_zlg_ch0.dat")) << "1;3E8;1;123;0;2;1122;Engine;\r\n";
    // Empty files can be made, nothing can be written into them.
    const pid_t pid = tessel.Start(0);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor(tessel.File("Tessel.ini")));
    EXPECT_EQ(tessel::test::terminateChild(pid), 0);
    const std::string errors = tessel.Errors();
    EXPECT_NE(errors.find("tessel: Cannot save the settings to"), std::string::npos) << errors;
    EXPECT_NE(errors.find("trans_list_zlg_ch0.dat"), std::string::npos) << errors;
}

} // namespace
