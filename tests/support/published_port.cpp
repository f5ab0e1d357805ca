#include "published_port.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tessel::test {

std::uint16_t readPublishedPort(const std::string& file) {
    std::ifstream in(file);
    std::string transport, host;
    unsigned port = 0;
    if (!(in >> transport >> host >> port) || transport != "tcp" || port == 0 || port > 65535)
        return 0;
    return static_cast<std::uint16_t>(port);
}

std::uint16_t awaitPublishedPort(const std::string& name, const std::string& adapterFile,
                                 std::chrono::milliseconds timeout,
                                 const std::function<bool(std::uint16_t)>& portAnswers,
                                 const std::function<std::optional<int>()>& exitCode,
                                 const std::function<void()>& stop) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::uint16_t port = readPublishedPort(adapterFile);
        if (port != 0 && portAnswers(port))
            return port;
        if (const std::optional<int> code = exitCode())
            throw std::runtime_error("EmuProcess: ulmar-emu '" + name + "' exited with code " +
                                     std::to_string(*code) + " before publishing " + adapterFile);
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            std::ostringstream msg;
            msg << "EmuProcess: ulmar-emu '" << name << "' did not publish " << adapterFile
                << " within " << timeout.count() << " ms";
            throw std::runtime_error(msg.str());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace tessel::test
