#pragma once

// Writes frames to a log file in one of the formats. One thread at a time.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "log_format.h"
#include "log_frame.h"

namespace canlog {

class LogWriter {
public:
    // Creates (or truncates) the file and writes its header; nothing, and a
    // message in `error`, when the file cannot be created. ASC times count
    // from `startUs`.
    static std::unique_ptr<LogWriter> create(const std::string& path, Format format,
                                             std::int64_t startUs, std::string& error);
    // Writes to an open stream that the caller keeps (closed by neither).
    LogWriter(std::FILE* stream, Format format, std::int64_t startUs);
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // False once any write has failed (disk full, closed pipe); later calls
    // keep returning false.
    bool write(const LogFrame& frame);
    bool flush();
    // Writes the footer and flushes; closes the file if this writer opened it.
    bool finish();

    bool failed() const { return failed_; }
    // Bytes written so far, header included (some may wait for the next flush).
    std::uint64_t bytesWritten() const { return bytes_; }

private:
    LogWriter(std::FILE* stream, bool owned, Format format, std::int64_t startUs);
    bool put(const std::string& text);
    bool drain();

    std::FILE* stream_;
    const bool owned_;
    const Format format_;
    const std::int64_t startUs_;
    std::string pending_; // lines not yet handed to the stream, written in large blocks
    std::uint64_t bytes_ = 0;
    bool failed_ = false;
    bool finished_ = false;
};

} // namespace canlog
