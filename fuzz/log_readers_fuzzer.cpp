// Feeds arbitrary bytes to the log readers of every format. Beyond "no crash,
// no read past the input": every frame a candump or CSV reader accepts must
// come back unchanged when written and read again (candump has no direction).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "line_text.h"
#include "log_reader.h"

namespace {

void checkRewrite(canlog::Format format, const canlog::LogFrame& frame) {
    std::string text;
    canlog::appendFrameLine(text, format, frame, 0);
    std::istringstream in(text);
    const auto again = canlog::readLog(in, format);
    canlog::LogFrame expected = frame;
    if (format == canlog::Format::Candump)
        expected.tx = false;
    if (again.frames.size() != 1 || again.frames[0] != expected) {
        std::fprintf(stderr, "frame did not survive a rewrite: %s\n", text.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (canlog::Format format :
         {canlog::Format::Candump, canlog::Format::Asc, canlog::Format::Csv}) {
        std::istringstream in(input);
        const auto contents = canlog::readLog(in, format);
        if (contents.problems.size() > canlog::kMaxProblems ||
            contents.problems.size() > contents.malformedLines)
            std::abort();
        if (format == canlog::Format::Asc)
            continue; // its times depend on the header's local date
        for (const auto& frame : contents.frames)
            checkRewrite(format, frame);
    }
    return 0;
}
