#pragma once

// Ending a child process on POSIX; shared by the fixture and the Windows
// tests' emulator launcher.

#include <sys/types.h>

namespace tessel::test {

// The exit code of a waitpid status, or 128 + signal number when a signal
// ended the process.
int decodeWaitStatus(int status);

// Sends SIGTERM, waits up to 10 s (then SIGKILL) and returns the exit code as
// decodeWaitStatus gives it, or -1 when the child could not be reaped.
int terminateChild(pid_t pid);

} // namespace tessel::test
