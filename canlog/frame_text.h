#pragma once

// A frame written as cansend and candump write it: "123#11223344",
// "18FEF100#0102", "123#R", "123#R4", data bytes optionally split by '.'.
// Up to 3 hex digits is a standard identifier, 4 to 8 an extended one.

#include <string>
#include <string_view>

#include "log_frame.h"

namespace canlog {

// Fills id, extended, remote, length and data of `frame`; false and a reason
// in `error` when the text is not a classic CAN frame.
bool parseFrameText(std::string_view text, LogFrame& frame, std::string& error);

} // namespace canlog
