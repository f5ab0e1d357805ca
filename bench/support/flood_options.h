// The flood options every benchmark takes, as ulmar-emu does:
//   --flood-length BYTES   data bytes of each frame, 0-8
//   --flood-ids PATTERN    fixed, count or random:COUNT[:SEED]
#pragma once

#include <string>
#include <vector>

#include "flood_pattern.h"

namespace bench {

constexpr const char* kFloodUsage =
    "[--flood-length 0-8] [--flood-ids fixed|count|random:N[:SEED]]";

// Takes the option if it is one of the two; false for any other name or a
// bad value.
bool takeFloodOption(const std::string& name, const std::string& value, emu::FloodPattern& pattern);

// The emulator's command line for a flood of every bus at `loadPercent`.
std::vector<std::string> floodArguments(unsigned loadPercent, const emu::FloodPattern& pattern);

} // namespace bench
