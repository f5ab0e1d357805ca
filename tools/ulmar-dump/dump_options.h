#pragma once

// Command line of ulmar-dump.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log_format.h"

struct DumpOptions {
    std::uint32_t device = 0;
    std::vector<std::uint32_t> channels{0, 1};
    std::int32_t bitRate = 500000;
    bool listenOnly = false;
    std::string logFile;                  // empty: standard output
    std::optional<canlog::Format> format; // else from the file's extension, else candump
    std::uint64_t maxFrames = 0;          // 0: no limit
    double maxSeconds = 0;                // 0: no limit
    bool help = false;
};

// Nothing, and a message, on a bad command line.
std::optional<DumpOptions> parseDumpOptions(int argc, char** argv, std::string& error);
const char* dumpHelpText();
