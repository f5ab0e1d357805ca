#pragma once

// Fixture for end-to-end tests that need a running virtual adapter.
//
//   tessel::test::DeviceDir dir;                       // private ULMAR_DEVICE_DIR
//   tessel::test::EmuProcess emu(dir, "a", {"--demo"}); // waits for "a.adapter"
//   ... talk to the adapter ...
//                                                      // destructors: SIGTERM, wait, clean up
//
// Failures (cannot create the directory, the emulator does not start or does not
// publish its file in time) throw std::runtime_error with a message that says
// what went wrong; GoogleTest reports it as a test failure.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessel::test {

// Sets an environment variable for the whole process and restores the previous
// value (or its absence) on destruction. Not thread-safe: use it in test set-up.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A fresh, private temporary directory that serves as ULMAR_DEVICE_DIR while
// the object lives. The directory and everything in it is removed on
// destruction. Several emulators may share one DeviceDir.
class DeviceDir {
public:
    DeviceDir();
    ~DeviceDir();
    DeviceDir(const DeviceDir&) = delete;
    DeviceDir& operator=(const DeviceDir&) = delete;

    const std::string& path() const { return path_; }
    // Path of the discovery file an adapter called `name` publishes here.
    std::string adapterFile(const std::string& name) const;

private:
    std::string path_;
    std::optional<ScopedEnv> env_;
};

// One ulmar-emu process named `name`, started with `args` and with
// ULMAR_DEVICE_DIR set to the given directory. The constructor returns once the
// emulator's discovery file names a port that accepts connections (or throws
// after `startTimeout`). The destructor stops the process with SIGTERM and
// waits for it.
class EmuProcess {
public:
    EmuProcess(const DeviceDir& dir, std::string name, std::vector<std::string> args = {},
               std::chrono::milliseconds startTimeout = std::chrono::seconds(20));
    ~EmuProcess();
    EmuProcess(const EmuProcess&) = delete;
    EmuProcess& operator=(const EmuProcess&) = delete;

    const std::string& name() const { return name_; }
    const std::string& adapterFile() const { return adapterFile_; }
    // TCP port published in the discovery file.
    std::uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }

    // Sends SIGTERM and waits (SIGKILL after 10 s). Returns the exit code, or
    // 128 + signal number when the process was killed by a signal. Later calls
    // return the same value. A clean stop gives 0; under a sanitizer build a
    // report from the emulator makes it non-zero, so EXPECT_EQ(emu.stop(), 0)
    // at the end of a test catches those too.
    int stop();

    // Full path of the ulmar-emu program these tests run.
    static std::string programPath();

private:
    std::string name_;
    std::string adapterFile_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::optional<int> exitCode_;
#ifdef _WIN32
    // Under Wine a Linux launcher runs the emulator for us; this is our
    // connection to it (a SOCKET), and closing it stops the emulator.
    std::uintptr_t launcher_ = ~std::uintptr_t{0};
#endif
};

} // namespace tessel::test
