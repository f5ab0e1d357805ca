#include "log_writer.h"

#include <cerrno>
#include <cstring>

#include "line_text.h"

namespace canlog {
namespace {

// Lines are formatted into a block of about this size and written at once.
constexpr std::size_t kBlockSize = 64 * 1024;

} // namespace

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
    pending_.reserve(kBlockSize + 128);
    put(fileHeader(format_, startUs_));
}

LogWriter::~LogWriter() {
    finish();
}

bool LogWriter::drain() {
    if (!failed_ && !pending_.empty() &&
        std::fwrite(pending_.data(), 1, pending_.size(), stream_) != pending_.size())
        failed_ = true;
    pending_.clear();
    return !failed_;
}

bool LogWriter::put(const std::string& text) {
    if (failed_ || stream_ == nullptr)
        return false;
    pending_ += text;
    bytes_ += text.size();
    return pending_.size() < kBlockSize || drain();
}

bool LogWriter::write(const LogFrame& frame) {
    if (failed_ || stream_ == nullptr)
        return false;
    const std::size_t before = pending_.size();
    appendFrameLine(pending_, format_, frame, startUs_);
    pending_ += '\n';
    bytes_ += pending_.size() - before;
    return pending_.size() < kBlockSize || drain();
}

bool LogWriter::flush() {
    if (stream_ != nullptr && drain() && std::fflush(stream_) != 0)
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
