// Helper for the python-can round trips: writes the sample frames in a
// format, or reads a log and lists its frames, one canonical line each:
//   <µs after the first frame> <channel> <Rx|Tx> <id hex> <ext 0|1> <rtr 0|1> <length> <data hex>
//
//   log_sample_tool list
//   log_sample_tool write log|asc|csv FILE
//   log_sample_tool read log|asc|csv FILE      (exit 1 on any malformed line)
#include <cinttypes>
#include <cstdio>
#include <string>

#include "log_reader.h"
#include "log_writer.h"
#include "sample_frames.h"

using namespace canlog;

namespace {

void list(const std::vector<LogFrame>& frames) {
    for (const auto& f : frames) {
        std::printf("%" PRId64 " %u %s %X %d %d %u ", f.timeUs - frames.front().timeUs, f.channel,
                    f.tx ? "Tx" : "Rx", f.id, f.extended, f.remote, f.length);
        for (std::size_t i = 0; !f.remote && i < f.length; ++i)
            std::printf("%02X", f.data[i]);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "list") {
        list(test::sampleFrames());
        return 0;
    }
    const auto format = argc == 4 ? formatFromName(argv[2]) : std::nullopt;
    if (!format) {
        std::fprintf(stderr, "usage: log_sample_tool list | write|read log|asc|csv FILE\n");
        return 2;
    }
    std::string error;
    if (command == "write") {
        const auto frames = test::sampleFrames();
        auto writer = LogWriter::create(argv[3], *format, frames.front().timeUs, error);
        if (!writer) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        for (const auto& frame : frames)
            writer->write(frame);
        return writer->finish() ? 0 : 1;
    }
    const auto contents = readLogFile(argv[3], *format, error);
    if (!contents) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    list(contents->frames);
    if (contents->malformedLines != 0) {
        std::fprintf(stderr, "%s\n", contents->summary().c_str());
        return 1;
    }
    return 0;
}
