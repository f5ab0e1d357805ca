#include "e2e_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "emulator_output_win.h"
#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ulmar::e2e {

#ifdef _WIN32
// The emulators are Linux processes started by a launcher under Wine: they
// are told where their output goes, and this process's own output stays.
ChildOutput::ChildOutput() {
    char directory[MAX_PATH + 1];
    char file[MAX_PATH + 1];
    if (!::GetTempPathA(sizeof directory, directory) ||
        !::GetTempFileNameA(directory, "emu", 0, file))
        throw std::runtime_error("ChildOutput: cannot create a file");
    path_ = file;
    tessel::test::redirectEmulatorOutput(path_);
}

ChildOutput::~ChildOutput() {
    stopCapture();
    ::DeleteFileA(path_.c_str());
}

void ChildOutput::stopCapture() {
    tessel::test::redirectEmulatorOutput("");
}

std::uint16_t deadLoopbackPort() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    ::closesocket(s);
    ::WSACleanup();
    return ntohs(address.sin_port);
}
#else
ChildOutput::ChildOutput() {
    char pattern[] = "/tmp/ulmar-e2e-output-XXXXXX";
    const int file = ::mkstemp(pattern);
    if (file < 0)
        throw std::runtime_error("ChildOutput: cannot create a file");
    path_ = pattern;
    std::fflush(stdout);
    savedStdout_ = ::dup(STDOUT_FILENO);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
}

ChildOutput::~ChildOutput() {
    stopCapture();
    ::unlink(path_.c_str());
}

void ChildOutput::stopCapture() {
    if (savedStdout_ < 0)
        return;
    std::fflush(stdout);
    ::dup2(savedStdout_, STDOUT_FILENO);
    ::close(savedStdout_);
    savedStdout_ = -1;
}

std::uint16_t deadLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(s);
    return ntohs(address.sin_port);
}
#endif

bool overUsb() {
#ifdef _WIN32
    return false;
#else
    const char* gadgetFs = std::getenv("TESSEL_GADGETFS");
    return gadgetFs != nullptr && *gadgetFs != '\0';
#endif
}

std::string ChildOutput::text() const {
    std::ifstream in(path_);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::uint8_t> openedPipes(const std::string& log) {
    static const std::regex line("pipe 0x([0-9A-Fa-f]{2}) opened");
    std::vector<std::uint8_t> endpoints;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
         ++it)
        endpoints.push_back(static_cast<std::uint8_t>(std::stoul((*it)[1].str(), nullptr, 16)));
    return endpoints;
}

VciCanFrame dataFrame(std::uint32_t id, std::vector<std::uint8_t> data, bool extended) {
    VciCanFrame frame{};
    frame.canId = id;
    frame.isExtended = extended ? 1 : 0;
    frame.length = static_cast<std::uint8_t>(data.size());
    std::memcpy(frame.payload, data.data(), data.size());
    return frame;
}

bool startChannel(std::uint32_t device, std::uint32_t channel, std::uint8_t btr0,
                  std::uint8_t btr1) {
    VciInitConfig config{};
    config.acceptMask = 0xFFFFFFFF;
    config.btr0 = btr0;
    config.btr1 = btr1;
    return VCI_InitCAN(4, device, channel, &config) == 1 && VCI_StartCAN(4, device, channel) == 1;
}

std::vector<VciCanFrame> receiveFrames(std::uint32_t device, std::uint32_t channel,
                                       std::size_t count, std::chrono::milliseconds timeout,
                                       std::uint32_t capacity) {
    std::vector<VciCanFrame> frames;
    std::vector<VciCanFrame> batch(capacity);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (frames.size() < count && std::chrono::steady_clock::now() < deadline) {
        const int32_t got = VCI_Receive(4, device, channel, batch.data(), capacity, 0);
        for (int32_t i = 0; i < got; ++i)
            frames.push_back(batch[static_cast<std::size_t>(i)]);
    }
    return frames;
}

} // namespace ulmar::e2e
