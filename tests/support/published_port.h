#pragma once

// Waiting for a started ulmar-emu to publish its port; shared by the POSIX
// fixture and the Windows one, which differ only in how they reach a port and
// learn that the emulator has ended.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessel::test {

// Reads "tcp 127.0.0.1 <port>" from the first line; 0 while the file is absent
// or incomplete.
std::uint16_t readPublishedPort(const std::string& file);

// Returns the port once `adapterFile` names one that `portAnswers` (a stale
// file from an earlier run may name a dead port). Throws std::runtime_error
// when `exitCode` reports that the emulator has ended first, or after calling
// `stop` when `timeout` has passed.
std::uint16_t awaitPublishedPort(const std::string& name, const std::string& adapterFile,
                                 std::chrono::milliseconds timeout,
                                 const std::function<bool(std::uint16_t)>& portAnswers,
                                 const std::function<std::optional<int>()>& exitCode,
                                 const std::function<void()>& stop);

} // namespace tessel::test
