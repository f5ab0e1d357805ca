#pragma once

// Runs one of the command-line tools as a child process with its standard
// output and error in files, for the end-to-end tests.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tools_test {

class ToolProcess {
public:
    // Starts `program` with `args`; output goes to `outFile` and `errFile`.
    ToolProcess(const std::string& program, const std::vector<std::string>& args,
                const std::string& outFile, const std::string& errFile);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // Waits up to 60 s for the end (then SIGTERM); the exit code, or 128 +
    // signal number.
    int wait();
    // Sends a signal to the running tool.
    void signal(int number);

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
};

// Runs to the end and returns the exit code.
int runTool(const std::string& program, const std::vector<std::string>& args,
            const std::string& outFile, const std::string& errFile);

std::string readFile(const std::string& path);

} // namespace tools_test
