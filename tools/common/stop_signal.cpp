#include "stop_signal.h"

#include <csignal>

namespace ulmar_tools {
namespace {

// Written by the handler, read by every thread of the tool.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void onStopSignal(int signal) {
    gStopSignal = signal;
}

} // namespace

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocking wait returns early
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() {
    return gStopSignal != 0;
}

int stopSignal() {
    return gStopSignal;
}

} // namespace ulmar_tools
