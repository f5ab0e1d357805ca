#pragma once

// SIGINT and SIGTERM ask a tool to stop; it finishes what it was writing and
// ends cleanly. SIGPIPE is ignored so that a closed output shows up as a
// failed write instead of killing the tool mid-line.

namespace ulmar_tools {

void installStopHandlers();
bool stopRequested();
// Signal number that asked to stop, 0 if none.
int stopSignal();

} // namespace ulmar_tools
