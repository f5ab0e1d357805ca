#pragma once

// Between Ulmar's frame records and log frames.

#include "log_frame.h"
#include "ulmar.h"

namespace ulmar_tools {

// Time and channel are left for the caller.
canlog::LogFrame toLogFrame(const VciCanFrame& record);
VciCanFrame toVciFrame(const canlog::LogFrame& frame);

} // namespace ulmar_tools
