#include "emu_process.h"

#include "child_process_posix.h"
#include "published_port.h"
#include "usb_gadget_mode.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <netinet/in.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessel::test {
namespace {

constexpr const char* kDirVariable = "ULMAR_DEVICE_DIR";

bool portAnswers(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answers;
}

std::vector<std::string> childEnvironment(const std::string& dir) {
    std::vector<std::string> env;
    const std::string prefix = std::string(kDirVariable) + "=";
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0)
            env.emplace_back(*e);
    }
    env.push_back(prefix + dir);
    return env;
}

std::vector<char*> pointersOf(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

} // namespace

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()))
        previous_ = old;
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (previous_)
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

DeviceDir::DeviceDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ulmar-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("DeviceDir: cannot create a temporary directory: " +
                                 std::string(std::strerror(errno)));
    path_ = pattern;
    env_.emplace(kDirVariable, path_);
}

DeviceDir::~DeviceDir() {
    env_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string DeviceDir::adapterFile(const std::string& name) const {
    return path_ + "/" + name + ".adapter";
}

std::string EmuProcess::programPath() {
    return TESSEL_ULMAR_EMU_PATH;
}

EmuProcess::EmuProcess(const DeviceDir& dir, std::string name, std::vector<std::string> args,
                       std::chrono::milliseconds startTimeout)
    : name_(std::move(name)), adapterFile_(dir.adapterFile(name_)) {
    std::vector<std::string> argv{programPath(), "--name", name_};
    const auto gadgetFs = gadgetFsDirectory();
    if (gadgetFs)
        argv.insert(argv.end(), {"--gadgetfs", *gadgetFs});
    argv.insert(argv.end(), args.begin(), args.end());
    auto env = childEnvironment(dir.path());
    auto argvPointers = pointersOf(argv);
    auto envPointers = pointersOf(env);
    int rc = ::posix_spawn(&pid_, argv[0].c_str(), nullptr, nullptr, argvPointers.data(),
                           envPointers.data());
    if (rc != 0)
        throw std::runtime_error("EmuProcess: cannot start " + argv[0] + ": " + std::strerror(rc));

    const auto ended = [this]() -> std::optional<int> {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_)
            exitCode_ = decodeWaitStatus(status);
        return exitCode_;
    };
    if (gadgetFs) {
        // A USB device publishes nothing: it is there once the host lists it.
        if (!awaitUsbAdapter(true, startTimeout, [&] { return ended().has_value(); })) {
            stop();
            throw std::runtime_error("EmuProcess: USB device '" + name_ + "' did not appear");
        }
        return;
    }
    port_ = awaitPublishedPort(name_, adapterFile_, startTimeout, portAnswers, ended,
                               [this] { stop(); });
}

EmuProcess::~EmuProcess() {
    stop();
}

int EmuProcess::stop() {
    if (exitCode_)
        return *exitCode_;
    exitCode_ = terminateChild(pid_);
    // The next test must not find this adapter still listed.
    if (gadgetFsDirectory())
        awaitUsbAdapter(false, std::chrono::seconds(10), [] { return false; });
    return *exitCode_;
}

} // namespace tessel::test
