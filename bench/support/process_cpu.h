#pragma once

#include <sys/types.h>

namespace bench {

// User and system CPU time a process has used so far, from /proc; -1 if it
// cannot be read.
double processCpuSeconds(pid_t pid);

} // namespace bench
