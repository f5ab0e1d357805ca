#pragma once

// Windows build of the fixture only. Under Wine the emulators are Linux
// processes started by a launcher, so they do not inherit this process's
// standard output; this names the file their output goes to instead.

#include <string>

namespace tessel::test {

// Emulators started from now on write their standard output to `file` (a
// Windows path), or to the launcher's own output again when `file` is empty.
void redirectEmulatorOutput(const std::string& file);

} // namespace tessel::test
