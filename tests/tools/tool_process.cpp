#include "tool_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "child_process_posix.h"

extern char** environ;

namespace tools_test {

ToolProcess::ToolProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& outFile, const std::string& errFile) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        throw std::runtime_error("cannot start " + program);
}

ToolProcess::~ToolProcess() {
    if (pid_ > 0)
        tessel::test::terminateChild(pid_);
}

int ToolProcess::wait() {
    if (pid_ <= 0)
        return exitCode_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    exitCode_ =
        done == pid_ ? tessel::test::decodeWaitStatus(status) : tessel::test::terminateChild(pid_);
    pid_ = -1;
    return exitCode_;
}

void ToolProcess::signal(int number) {
    if (pid_ > 0)
        ::kill(pid_, number);
}

int runTool(const std::string& program, const std::vector<std::string>& args,
            const std::string& outFile, const std::string& errFile) {
    ToolProcess process(program, args, outFile, errFile);
    return process.wait();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace tools_test
