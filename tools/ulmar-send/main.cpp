// ulmar-send: sends frames written as cansend writes them.

#include <cstdio>
#include <getopt.h>
#include <string>
#include <vector>

#include "adapter_session.h"
#include "frame_text.h"
#include "number_args.h"
#include "tool_exit.h"
#include "transmit_wait.h"
#include "ulmar.h"
#include "vci_frames.h"

using namespace ulmar_tools;

namespace {

const char* kHelp = R"(Usage: ulmar-send [-d INDEX] -c CHANNEL -b BITRATE ID#DATA...
Sends each frame once, in order, on one channel of the adapter.

Frames as cansend writes them:
  123#11223344        standard identifier (up to 3 hex digits), data bytes
  18FEF100#0102       extended identifier (4 to 8 hex digits)
  123#11.22.33        bytes may be split by dots
  123#R  123#R4       remote frame, with a length 0 to 8

  -d INDEX          adapter index (default 0)
  -c CHANNEL        0 or 1 (default 0)
  -b BITRATE        bit rate in bit/s (default 500000); one of
                    5000 10000 20000 40000 50000 80000 100000 125000 200000
                    250000 400000 500000 666000 800000 1000000
  -h, --help        show this text and exit

The channel is left started, so that a ulmar-dump on the same adapter keeps
receiving.

Exit codes: 0 all frames sent, 1 failure (adapter), 2 bad command line.
)";

struct SendOptions {
    std::uint32_t device = 0;
    std::uint32_t channel = 0;
    std::int32_t bitRate = 500000;
    std::vector<canlog::LogFrame> frames;
    bool help = false;
};

bool parse(int argc, char** argv, SendOptions& options, std::string& error) {
    static const option longOptions[] = {{"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    opterr = 0;
    int c = 0;
    std::uint64_t number = 0;
    while ((c = getopt_long(argc, argv, ":d:c:b:h", longOptions, nullptr)) != -1) {
        const std::string value = optarg != nullptr ? optarg : "";
        if (c == 'h') {
            options.help = true;
        } else if (c == 'd' && parseCount(value, 255, number)) {
            options.device = static_cast<std::uint32_t>(number);
        } else if (c == 'c' && parseCount(value, 1, number)) {
            options.channel = static_cast<std::uint32_t>(number);
        } else if (c == 'b' && parseCount(value, 1'000'000, number) &&
                   isSupportedBitRate(static_cast<std::int32_t>(number))) {
            options.bitRate = static_cast<std::int32_t>(number);
        } else if (c == ':') {
            error = std::string("option -") + static_cast<char>(optopt) + " needs a value";
            return false;
        } else if (c == '?') {
            error = "unknown option " + std::string(argv[optind - 1]);
            return false;
        } else {
            error = std::string("bad value '") + value + "' for -" + static_cast<char>(c);
            return false;
        }
    }
    if (options.help)
        return true;
    for (int i = optind; i < argc; ++i) {
        canlog::LogFrame frame;
        if (!canlog::parseFrameText(argv[i], frame, error)) {
            error = std::string(argv[i]) + ": " + error;
            return false;
        }
        options.frames.push_back(frame);
    }
    if (options.frames.empty()) {
        error = "no frame to send";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    SendOptions options;
    std::string error;
    if (!parse(argc, argv, options, error)) {
        std::fprintf(stderr, "ulmar-send: %s (see --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kHelp, stdout);
        return kExitDone;
    }
    AdapterSession session(AdapterSession::Use::Send);
    if (!session.open(options.device, error) ||
        !session.startChannel(options.channel, options.bitRate, false, error)) {
        std::fprintf(stderr, "ulmar-send: %s\n", error.c_str());
        return kExitFailure;
    }
    for (std::size_t i = 0; i < options.frames.size(); ++i) {
        const VciCanFrame record = toVciFrame(options.frames[i]);
        if (VCI_Transmit(kDeviceType, options.device, options.channel, &record, 1) != 1) {
            std::fprintf(
                stderr, "ulmar-send: frame %zu (%s) was not sent\n", i + 1,
                argv[argc - static_cast<int>(options.frames.size()) + static_cast<int>(i)]);
            return kExitFailure;
        }
    }
    if (!waitUntilSent(options.device, options.channel)) {
        std::fprintf(stderr, "ulmar-send: the adapter did not get the frames onto the bus\n");
        return kExitFailure;
    }
    return kExitDone;
}
