#pragma once

#include <cstdio>

namespace ulmar_tools {

// Keeps standard output a clean stream of frames. Ulmar prints its
// diagnostics ("Error: %d") to standard output; this gives the frames a
// duplicate of the original standard output and points descriptor 1 (and so
// stdout and every printf in the process) at standard error. Returns the
// stream for frames, or nullptr if the descriptors could not be set up.
std::FILE* takeStandardOutputForFrames();

} // namespace ulmar_tools
