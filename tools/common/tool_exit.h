#pragma once

// Exit codes shared by the command-line tools.

namespace ulmar_tools {

constexpr int kExitDone = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

} // namespace ulmar_tools
