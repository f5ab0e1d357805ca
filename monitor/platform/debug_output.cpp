#include "platform/debug_output.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

void DebugOutput(std::string_view text) {
    std::string line(text);
#ifdef _WIN32
    line += "\r\n";
    OutputDebugStringA(line.c_str());
#else
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
#endif
}

} // namespace platform
