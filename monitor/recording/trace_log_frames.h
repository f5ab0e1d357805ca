#pragma once

// Trace entries as log frames, and saving traces to a log file.

#include <cstdint>
#include <string>
#include <vector>

#include "log_format.h"
#include "log_frame.h"

class TCorvexTraceItem;
class TCorvexTraceList;
class TCanFrame;

canlog::LogFrame ToLogFrame(const TCorvexTraceItem& item, std::uint8_t channel);
// A frame for the offline views: its time as wall-clock microseconds and as
// milliseconds since `firstUs` on the tick scale.
TCanFrame ToCanFrame(const canlog::LogFrame& frame, std::int64_t firstUs);

struct TTraceSource {
    const TCorvexTraceList* List;
    std::uint8_t Channel;
};

// Every entry the lists hold now, merged by time (entries of equal time keep
// the order of the sources and of each list). Reader thread of the lists.
std::vector<canlog::LogFrame> MergedTrace(const std::vector<TTraceSource>& sources);

// Writes the frames to a new file; false and a message when it fails.
bool SaveLog(const std::vector<canlog::LogFrame>& frames, const std::string& path,
             canlog::Format format, std::string& error);
