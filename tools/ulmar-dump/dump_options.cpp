#include "dump_options.h"

#include <getopt.h>

#include "adapter_session.h"
#include "number_args.h"

using namespace ulmar_tools;

namespace {

constexpr int kFormatOption = 1000;

bool parseChannels(const std::string& text, std::vector<std::uint32_t>& channels) {
    if (text == "0" || text == "1") {
        channels = {static_cast<std::uint32_t>(text[0] - '0')};
        return true;
    }
    if (text == "0,1" || text == "1,0") {
        channels = {0, 1};
        return true;
    }
    return false;
}

} // namespace

std::optional<DumpOptions> parseDumpOptions(int argc, char** argv, std::string& error) {
    static const option longOptions[] = {{"format", required_argument, nullptr, kFormatOption},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};
    DumpOptions options;
    optind = 1;
    opterr = 0;
    int c = 0;
    std::uint64_t number = 0;
    while ((c = getopt_long(argc, argv, ":d:c:b:Ll:n:T:h", longOptions, nullptr)) != -1) {
        const std::string value = optarg != nullptr ? optarg : "";
        switch (c) {
        case 'd':
            if (!parseCount(value, 255, number)) {
                error = "bad adapter index '" + value + "'";
                return std::nullopt;
            }
            options.device = static_cast<std::uint32_t>(number);
            break;
        case 'c':
            if (!parseChannels(value, options.channels)) {
                error = "bad channel list '" + value + "' (0, 1 or 0,1)";
                return std::nullopt;
            }
            break;
        case 'b':
            if (!parseCount(value, 1'000'000, number) ||
                !isSupportedBitRate(static_cast<std::int32_t>(number))) {
                error = "bad bit rate '" + value + "' (one of " + kBitRateHelp + ")";
                return std::nullopt;
            }
            options.bitRate = static_cast<std::int32_t>(number);
            break;
        case 'L':
            options.listenOnly = true;
            break;
        case 'l':
            if (value.empty()) {
                error = "-l needs a file name";
                return std::nullopt;
            }
            options.logFile = value;
            break;
        case kFormatOption:
            options.format = canlog::formatFromName(value);
            if (!options.format) {
                error = "bad format '" + value + "' (log, asc or csv)";
                return std::nullopt;
            }
            break;
        case 'n':
            if (!parseCount(value, UINT64_MAX, number) || number == 0) {
                error = "bad frame count '" + value + "'";
                return std::nullopt;
            }
            options.maxFrames = number;
            break;
        case 'T':
            if (!parsePositiveSeconds(value, options.maxSeconds)) {
                error = "bad duration '" + value + "' (seconds above 0)";
                return std::nullopt;
            }
            break;
        case 'h':
            options.help = true;
            break;
        case ':':
            error = std::string("option -") + static_cast<char>(optopt) + " needs a value";
            return std::nullopt;
        default:
            error = optopt != 0 ? std::string("unknown option -") + static_cast<char>(optopt)
                                : std::string("unknown option ") + argv[optind - 1];
            return std::nullopt;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument '") + argv[optind] + "'";
        return std::nullopt;
    }
    if (!options.format && !options.logFile.empty())
        options.format = canlog::formatFromPath(options.logFile);
    if (!options.format)
        options.format = canlog::Format::Candump;
    return options;
}

const char* dumpHelpText() {
    return R"(Usage: ulmar-dump [OPTIONS]
Records the frames an adapter receives, one candump -L line per frame on
standard output ("(1700000000.123456) can0 123#11223344"), or into a log file.
Times are the adapter's own 0.1 ms stamps, tied to the wall clock.

  -d INDEX          adapter index (default 0)
  -c CHANNELS       0, 1 or 0,1 (default 0,1)
  -b BITRATE        bit rate in bit/s (default 500000); one of
                    5000 10000 20000 40000 50000 80000 100000 125000 200000
                    250000 400000 500000 666000 800000 1000000
  -L                listen-only: the adapter acknowledges no frame
  -l FILE           write the log to FILE instead of standard output
  --format FORMAT   log (candump -L), asc (Vector ASC) or csv; default from
                    the extension of FILE (.log, .asc, .csv), else log
  -n COUNT          stop after COUNT frames
  -T SECONDS        stop after SECONDS
  -h, --help        show this text and exit

SIGINT or SIGTERM stops it with every received frame written. At the end it
prints the frames per channel and the frames lost (adapter overruns) to
standard error. Standard output carries nothing but frames.

Exit codes: 0 done, 1 failure (adapter, file), 2 bad command line.
)";
}
