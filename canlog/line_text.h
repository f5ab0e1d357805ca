#pragma once

// The text of log lines, shared by the file writer and by anything that shows
// frames in a log's own words.

#include <cstdint>
#include <string>

#include "log_format.h"
#include "log_frame.h"

namespace canlog {

// One frame line without its terminator. ASC times count from `startUs`.
void appendFrameLine(std::string& out, Format format, const LogFrame& frame, std::int64_t startUs);

// The lines that open a file (each with its terminator): the ASC header with
// the start date in local time, the CSV column names; nothing for candump.
std::string fileHeader(Format format, std::int64_t startUs);
// The lines that close a file: "End TriggerBlock" for ASC, nothing otherwise.
std::string fileFooter(Format format);

// "1700000000.123456": seconds with six decimals.
void appendSeconds(std::string& out, std::int64_t us);

// The CSV column names, the first line of a CSV file.
inline constexpr const char* kCsvHeader = "time,channel,direction,id,extended,remote,length,data";

} // namespace canlog
