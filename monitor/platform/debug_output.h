#pragma once

#include <string_view>

namespace platform {

// Writes one line to the platform's debugger output: OutputDebugStringA on
// Windows, standard error elsewhere. Safe to call from any thread.
void DebugOutput(std::string_view text);

} // namespace platform
