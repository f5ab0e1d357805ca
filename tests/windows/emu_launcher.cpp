// Starts and stops Linux ulmar-emu processes on behalf of Windows test
// programs running under Wine, which cannot start or signal Linux processes
// themselves.
//
//   emu_launcher <ulmar-emu> <port-file>
//
// Listens on a free loopback port and writes its number to <port-file>. Each
// connection owns at most one emulator and is served by its own process. The
// client sends lines:
//   dir <unix path>       ULMAR_DEVICE_DIR of the emulator
//   output <unix path>    optional: the emulator's standard output goes here
//   arg <text>            one command-line argument (repeated, in order)
//   start                 -> "started <pid>" or "failed <reason>"
//   state                 -> "running" or "exited <code>"
//   stop                  -> SIGTERM, wait (SIGKILL after 10 s) -> "exited <code>"
// When the connection ends, a still running emulator is stopped the same way.
// An exit code is 128 + signal number when a signal ended the emulator.
#include "child_process_posix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using tessel::test::decodeWaitStatus;
using tessel::test::terminateChild;

// One client's emulator; lives in the process that serves the connection.
class Emulator {
public:
    explicit Emulator(std::string program) : program_(std::move(program)) {}

    std::string start(const std::string& dir, const std::string& output,
                      const std::vector<std::string>& args) {
        if (pid_ > 0)
            return "failed already started";
        std::vector<std::string> argv{program_};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = environmentWith("ULMAR_DEVICE_DIR=" + dir);
        auto argvPointers = pointersOf(argv);
        auto envPointers = pointersOf(env);

        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        if (!output.empty())
            ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                               O_WRONLY | O_APPEND | O_CREAT, 0644);
        const int rc = ::posix_spawn(&pid_, program_.c_str(), &actions, nullptr,
                                     argvPointers.data(), envPointers.data());
        ::posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = -1;
            return "failed " + std::string(std::strerror(rc));
        }
        return "started " + std::to_string(pid_);
    }

    std::string state() {
        if (pid_ <= 0)
            return "failed not started";
        if (!exitCode_) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                exitCode_ = decodeWaitStatus(status);
        }
        return exitCode_ ? "exited " + std::to_string(*exitCode_) : "running";
    }

    std::string stop() {
        if (pid_ <= 0)
            return "failed not started";
        if (!exitCode_)
            exitCode_ = terminateChild(pid_);
        return "exited " + std::to_string(*exitCode_);
    }

private:
    static std::vector<std::string> environmentWith(const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::vector<std::string> env;
        for (char** e = environ; e && *e; ++e) {
            if (std::strncmp(*e, name.c_str(), name.size()) != 0)
                env.emplace_back(*e);
        }
        env.push_back(entry);
        return env;
    }

    static std::vector<char*> pointersOf(std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (auto& s : strings)
            result.push_back(s.data());
        result.push_back(nullptr);
        return result;
    }

    std::string program_;
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// Reads one line without its newline; false at the end of the connection.
bool readLine(int fd, std::string& line) {
    line.clear();
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        if (c == '\n')
            return true;
        if (c != '\r')
            line.push_back(c);
    }
}

bool writeLine(int fd, std::string line) {
    line.push_back('\n');
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t sent = ::send(fd, data, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        left -= static_cast<std::size_t>(sent);
    }
    return true;
}

void serve(int fd, const std::string& program) {
    Emulator emulator(program);
    std::string dir, output, line;
    std::vector<std::string> args;
    while (readLine(fd, line)) {
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        std::string reply;
        if (command == "dir")
            dir = value;
        else if (command == "output")
            output = value;
        else if (command == "arg")
            args.push_back(value);
        else if (command == "start")
            reply = dir.empty() ? "failed no dir" : emulator.start(dir, output, args);
        else if (command == "state")
            reply = emulator.state();
        else if (command == "stop")
            reply = emulator.stop();
        else
            reply = "failed unknown command " + command;
        if (!reply.empty() && !writeLine(fd, reply))
            break;
    }
    emulator.stop();
}

int listenOnLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Written to a temporary name first, so that a reader never sees half a number.
bool publishPort(const std::string& file, std::uint16_t port) {
    const std::string temporary = file + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "w");
    if (!out)
        return false;
    const bool written = std::fprintf(out, "%u\n", static_cast<unsigned>(port)) > 0;
    return std::fclose(out) == 0 && written && std::rename(temporary.c_str(), file.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: emu_launcher <ulmar-emu> <port-file>\n");
        return 2;
    }
    const std::string program = argv[1];
    std::uint16_t port = 0;
    const int listener = listenOnLoopback(port);
    if (listener < 0 || !publishPort(argv[2], port)) {
        std::fprintf(stderr, "emu_launcher: cannot listen or publish the port: %s\n",
                     std::strerror(errno));
        return 1;
    }
    // Serving processes end on their own; nobody waits for them.
    std::signal(SIGCHLD, SIG_IGN);
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            std::fprintf(stderr, "emu_launcher: accept: %s\n", std::strerror(errno));
            return 1;
        }
        const pid_t server = ::fork();
        if (server == 0) {
            // The serving process waits for its own emulator.
            std::signal(SIGCHLD, SIG_DFL);
            ::close(listener);
            serve(client, program);
            ::_exit(0);
        }
        ::close(client);
    }
}
