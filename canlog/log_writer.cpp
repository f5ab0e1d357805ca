#include "log_writer.h"

#include <cerrno>
#include <cstring>

#include "line_text.h"

namespace canlog {

std::unique_ptr<LogWriter> LogWriter::create(const std::string& path, Format format,
                                             std::int64_t startUs, std::string& error) {
    std::FILE* stream = std::fopen(path.c_str(), "w");
    if (stream == nullptr) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<LogWriter> writer(new LogWriter(stream, true, format, startUs));
    if (writer->failed()) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return writer;
}

LogWriter::LogWriter(std::FILE* stream, Format format, std::int64_t startUs)
    : LogWriter(stream, false, format, startUs) {}

LogWriter::LogWriter(std::FILE* stream, bool owned, Format format, std::int64_t startUs)
    : stream_(stream), owned_(owned), format_(format), startUs_(startUs) {
    line_.reserve(96);
    put(fileHeader(format_, startUs_));
}

LogWriter::~LogWriter() {
    finish();
}

bool LogWriter::put(const std::string& text) {
    if (failed_ || stream_ == nullptr)
        return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
        failed_ = true;
    else
        bytes_ += text.size();
    return !failed_;
}

bool LogWriter::write(const LogFrame& frame) {
    line_.clear();
    appendFrameLine(line_, format_, frame, startUs_);
    line_ += '\n';
    return put(line_);
}

bool LogWriter::flush() {
    if (!failed_ && stream_ != nullptr && std::fflush(stream_) != 0)
        failed_ = true;
    return !failed_;
}

bool LogWriter::finish() {
    if (finished_)
        return !failed_;
    finished_ = true;
    put(fileFooter(format_));
    flush();
    if (owned_ && stream_ != nullptr && std::fclose(stream_) != 0)
        failed_ = true;
    stream_ = nullptr;
    return !failed_;
}

} // namespace canlog
