#pragma once

#include <cstdint>
#include <string>

#include "views/trace_item.h"

// Appends a trace time to 0.1 ms: "13:02:03.1234" local time for Clock,
// "12.3456" seconds after `referenceUs` for SinceStart, "+0.0012" (or
// "-0.0003") seconds after it for Delta. Tick appends nothing.
void AppendTraceTime(std::string& text, TTraceTimeFormat format, std::int64_t timeUs,
                     std::int64_t referenceUs);
