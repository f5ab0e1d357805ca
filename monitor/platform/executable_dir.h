#pragma once

#include <string>

namespace platform {

// The directory that holds the running program's executable, with its
// trailing path separator; empty when the platform cannot tell.
std::string ExecutableDir();

} // namespace platform
