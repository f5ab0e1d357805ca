// The fixture for the Windows build, run under Wine: a Windows program cannot
// start or signal the Linux ulmar-emu, so a Linux launcher (tests/windows/
// emu_launcher.cpp, its loopback port in TESSEL_EMU_LAUNCHER_PORT) does that
// on our behalf. Paths handed to Linux programs are translated with Wine's
// own mapping of drives to Unix directories.
#include "emu_process.h"
#include "emulator_output_win.h"
#include "published_port.h"

#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tessel::test {
namespace {

constexpr const char* kDirVariable = "ULMAR_DEVICE_DIR";
constexpr const char* kLauncherVariable = "TESSEL_EMU_LAUNCHER_PORT";

// Set by redirectEmulatorOutput() in test set-up; read when an emulator starts.
std::string emulatorOutput;

// Wine's translation of a Windows path to the Unix path of the same file.
std::string unixPathOf(const std::string& windowsPath) {
    using Translate = char*(CDECL*)(const wchar_t*);
    const auto translate = reinterpret_cast<Translate>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!translate)
        throw std::runtime_error("EmuProcess: these tests run under Wine only");
    const std::wstring wide = std::filesystem::path(windowsPath).wstring();
    char* unixPath = translate(wide.c_str());
    if (!unixPath)
        throw std::runtime_error("EmuProcess: no Unix path for " + windowsPath);
    std::string result = unixPath;
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

void startWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("EmuProcess: WSAStartup failed");
}

SOCKET connectToLoopback(std::uint16_t port) {
    startWinsock();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool portAnswers(std::uint16_t port) {
    const SOCKET s = connectToLoopback(port);
    if (s == INVALID_SOCKET)
        return false;
    ::closesocket(s);
    return true;
}

std::uint16_t launcherPort() {
    const char* text = std::getenv(kLauncherVariable);
    const unsigned long port = text ? std::strtoul(text, nullptr, 10) : 0;
    if (port == 0 || port > 65535)
        throw std::runtime_error(std::string("EmuProcess: ") + kLauncherVariable +
                                 " does not name the emulator launcher's port");
    return static_cast<std::uint16_t>(port);
}

void sendLine(SOCKET s, const std::string& line) {
    const std::string data = line + "\n";
    std::size_t done = 0;
    while (done < data.size()) {
        const int sent = ::send(s, data.data() + done, static_cast<int>(data.size() - done), 0);
        if (sent <= 0)
            throw std::runtime_error("EmuProcess: the emulator launcher went away");
        done += static_cast<std::size_t>(sent);
    }
}

std::string readLine(SOCKET s) {
    std::string line;
    char c = 0;
    for (;;) {
        if (::recv(s, &c, 1, 0) != 1)
            throw std::runtime_error("EmuProcess: the emulator launcher went away");
        if (c == '\n')
            return line;
        line.push_back(c);
    }
}

std::string ask(SOCKET s, const std::string& request) {
    sendLine(s, request);
    return readLine(s);
}

// The exit code in an "exited <code>" reply, or nothing for any other reply.
std::optional<int> exitCodeIn(const std::string& reply) {
    const std::string prefix = "exited ";
    if (reply.rfind(prefix, 0) != 0)
        return std::nullopt;
    return std::stoi(reply.substr(prefix.size()));
}

} // namespace

void redirectEmulatorOutput(const std::string& file) {
    emulatorOutput = file.empty() ? std::string() : unixPathOf(file);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()))
        previous_ = old;
    ::_putenv_s(name_.c_str(), value.c_str());
}

ScopedEnv::~ScopedEnv() {
    // An empty value removes the variable.
    ::_putenv_s(name_.c_str(), previous_ ? previous_->c_str() : "");
}

DeviceDir::DeviceDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        std::ostringstream name;
        name << "ulmar-test-" << std::hex << random();
        std::error_code error;
        if (std::filesystem::create_directory(base / name.str(), error))
            path_ = (base / name.str()).string();
    }
    if (path_.empty())
        throw std::runtime_error("DeviceDir: cannot create a temporary directory in " +
                                 base.string());
    env_.emplace(kDirVariable, path_);
}

DeviceDir::~DeviceDir() {
    env_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string DeviceDir::adapterFile(const std::string& name) const {
    return path_ + "\\" + name + ".adapter";
}

std::string EmuProcess::programPath() {
    return TESSEL_ULMAR_EMU_PATH;
}

EmuProcess::EmuProcess(const DeviceDir& dir, std::string name, std::vector<std::string> args,
                       std::chrono::milliseconds startTimeout)
    : name_(std::move(name)), adapterFile_(dir.adapterFile(name_)) {
    const SOCKET launcher = connectToLoopback(launcherPort());
    if (launcher == INVALID_SOCKET)
        throw std::runtime_error("EmuProcess: cannot reach the emulator launcher");
    launcher_ = static_cast<std::uintptr_t>(launcher);
    try {
        sendLine(launcher, "dir " + unixPathOf(dir.path()));
        if (!emulatorOutput.empty())
            sendLine(launcher, "output " + emulatorOutput);
        args.insert(args.begin(), {"--name", name_});
        for (const std::string& arg : args)
            sendLine(launcher, "arg " + arg);
        const std::string started = ask(launcher, "start");
        if (started.rfind("started ", 0) != 0)
            throw std::runtime_error("EmuProcess: cannot start ulmar-emu '" + name_ +
                                     "': " + started);
        pid_ = std::stoll(started.substr(8));
    } catch (...) {
        ::closesocket(launcher);
        throw;
    }

    port_ = awaitPublishedPort(
        name_, adapterFile_, startTimeout, portAnswers,
        [this, launcher] {
            exitCode_ = exitCodeIn(ask(launcher, "state"));
            if (exitCode_)
                ::closesocket(launcher);
            return exitCode_;
        },
        [this] { stop(); });
}

EmuProcess::~EmuProcess() {
    stop();
}

int EmuProcess::stop() {
    if (exitCode_)
        return *exitCode_;
    const SOCKET launcher = static_cast<SOCKET>(launcher_);
    try {
        exitCode_ = exitCodeIn(ask(launcher, "stop")).value_or(-1);
    } catch (const std::runtime_error&) {
        exitCode_ = -1;
    }
    ::closesocket(launcher);
    return *exitCode_;
}

} // namespace tessel::test
