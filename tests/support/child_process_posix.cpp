#include "child_process_posix.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

namespace tessel::test {

int decodeWaitStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

int terminateChild(pid_t pid) {
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        ::kill(pid, SIGKILL);
        done = ::waitpid(pid, &status, 0);
    }
    return done == pid ? decodeWaitStatus(status) : -1;
}

} // namespace tessel::test
