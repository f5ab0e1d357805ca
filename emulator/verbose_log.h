#pragma once

// What --verbose prints: one line per event on standard output.

#include <mutex>
#include <string>

namespace emu {

class VerboseLog {
public:
    explicit VerboseLog(bool enabled = false) : enabled_(enabled) {}

    bool enabled() const { return enabled_; }
    // Prints "[   12.345] text"; safe from any thread.
    void print(const std::string& text);

private:
    const bool enabled_;
    std::mutex mutex_; // serialises lines from all threads
};

} // namespace emu
