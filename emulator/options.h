#pragma once

// Command line of ulmar-emu.

#include <optional>
#include <string>
#include <vector>

#include "adapter.h"
#include "fault_plan.h"
#include "flood_pattern.h"

namespace emu {

struct Options {
    std::string name = "virtual0";
    AdapterSettings adapter;
    bool separateBuses = false;
    bool busTiming = true;
    bool demo = false;
    unsigned floodPercent = 0; // 0 = no flood
    FloodPattern flood;        // identifiers and length of the flood's frames
    std::string replayFile;
    bool replayLoop = false;
    FaultPlan faults;
    std::string gadgetFsDirectory; // --gadgetfs: a real USB device through gadgetfs mounted here
    bool verbose = false;
    bool help = false;
};

// Exit codes of ulmar-emu.
constexpr int kExitOk = 0;      // stopped by SIGINT/SIGTERM, or --help
constexpr int kExitFailure = 1; // could not start (directory, socket, replay file)
constexpr int kExitUsage = 2;   // bad command line

// Parses argv; nothing (and a message in `error`) on a bad command line.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text; names every option.
std::string helpText();

// Every option the parser knows, for checking that --help covers them.
std::vector<std::string> optionNames();

} // namespace emu
