#include "options.h"

#include <charconv>
#include <functional>
#include <map>

#include "discovery.h"

namespace emu {
namespace {

bool parseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size() &&
           value <= max;
}

bool isPrintableAscii(const std::string& text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool parseLanguages(const std::string& text, std::vector<std::uint16_t>& out) {
    out.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        const std::string item = text.substr(start, comma - start);
        std::uint64_t id = 0;
        if (!parseUnsigned(item.rfind("0x", 0) == 0 ? item : "0x" + item, 0xFFFF, id))
            return false;
        out.push_back(static_cast<std::uint16_t>(id));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !out.empty();
}

using Setter = std::function<bool(Options&, const std::string&)>;

Setter text(std::string AdapterIdentity::*field, std::size_t maxChars) {
    return [field, maxChars](Options& o, const std::string& v) {
        if (v.size() > maxChars || !isPrintableAscii(v))
            return false;
        o.adapter.identity.*field = v;
        return true;
    };
}

template <typename T> Setter number(T Options::*field, std::uint64_t min, std::uint64_t max) {
    return [=](Options& o, const std::string& v) {
        std::uint64_t n = 0;
        if (!parseUnsigned(v, max, n) || n < min)
            return false;
        o.*field = static_cast<T>(n);
        return true;
    };
}

Setter identityNumber(std::uint16_t AdapterIdentity::*field) {
    return [field](Options& o, const std::string& v) {
        std::uint64_t n = 0;
        if (!parseUnsigned(v, 0xFFFF, n))
            return false;
        o.adapter.identity.*field = static_cast<std::uint16_t>(n);
        return true;
    };
}

Setter endpointCount(std::map<std::uint8_t, std::uint32_t> FaultPlan::*field) {
    return [field](Options& o, const std::string& v) {
        std::uint8_t ep = 0;
        std::uint32_t count = 0;
        if (!parseEndpointCount(v, ep, count) || !isValidEndpoint(ep))
            return false;
        (o.faults.*field)[ep] = count;
        return true;
    };
}

// The channels an option names: "@0" or "@1" at the end of its value, else both.
bool splitChannel(const std::string& text, std::string& value, std::vector<std::size_t>& channels) {
    const auto at = text.find('@');
    value = text.substr(0, at);
    if (at == std::string::npos) {
        channels = {0, 1};
        return true;
    }
    const std::string channel = text.substr(at + 1);
    if (channel != "0" && channel != "1")
        return false;
    channels = {channel == "0" ? 0u : 1u};
    return true;
}

// "N[@CH]": a number for one channel's controller, or for both.
template <typename T>
Setter controllerNumber(T ControllerFaults::*field, std::uint64_t min, std::uint64_t max) {
    return [=](Options& o, const std::string& v) {
        std::string digits;
        std::vector<std::size_t> channels;
        std::uint64_t n = 0;
        if (!splitChannel(v, digits, channels) || !parseUnsigned(digits, max, n) || n < min)
            return false;
        for (std::size_t c : channels)
            o.adapter.controllerFaults[c].*field = static_cast<T>(n);
        return true;
    };
}

// "CH": a state of one channel's controller.
Setter controllerState(bool ControllerFaults::*field) {
    return [field](Options& o, const std::string& v) {
        if (v != "0" && v != "1")
            return false;
        o.adapter.controllerFaults[v == "0" ? 0 : 1].*field = true;
        return true;
    };
}

const std::map<std::string, Setter>& valueOptions() {
    static const std::map<std::string, Setter> options{
        {"--name",
         [](Options& o, const std::string& v) {
             o.name = v;
             return isValidAdapterName(v);
         }},
        {"--device-code", text(&AdapterIdentity::deviceCode, 4)},
        {"--product", text(&AdapterIdentity::productText, kMaxStringChars - 4)},
        {"--manufacturer", text(&AdapterIdentity::manufacturer, kMaxStringChars)},
        {"--serial", text(&AdapterIdentity::serial, kMaxStringChars)},
        {"--release", identityNumber(&AdapterIdentity::release)},
        {"--vendor-id", identityNumber(&AdapterIdentity::vendorId)},
        {"--product-id", identityNumber(&AdapterIdentity::productId)},
        {"--languages",
         [](Options& o, const std::string& v) {
             return parseLanguages(v, o.adapter.identity.languages);
         }},
        {"--aux-value",
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!parseUnsigned(v, 0xFFFFFFFF, n))
                 return false;
             o.adapter.auxValue = static_cast<std::uint32_t>(n);
             return true;
         }},
        {"--rx-buffer",
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!parseUnsigned(v, 1'000'000, n) || n == 0)
                 return false;
             o.adapter.receiveCapacity = static_cast<std::size_t>(n);
             return true;
         }},
        {"--flood", number(&Options::floodPercent, 1, 100)},
        {"--flood-length",
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!parseUnsigned(v, 8, n))
                 return false;
             o.flood.length = static_cast<unsigned>(n);
             return true;
         }},
        {"--flood-ids",
         [](Options& o, const std::string& v) {
             const auto pattern = parseFloodIds(v, o.flood.length);
             if (pattern)
                 o.flood = *pattern;
             return pattern.has_value();
         }},
        {"--rx-errors", controllerNumber(&ControllerFaults::receiveErrors, 0, 255)},
        {"--tx-errors", controllerNumber(&ControllerFaults::transmitErrors, 0, 255)},
        {"--error-passive", controllerState(&ControllerFaults::errorPassive)},
        {"--bus-off", controllerState(&ControllerFaults::busOff)},
        {"--overrun-every", controllerNumber(&ControllerFaults::overrunEvery, 1, 1'000'000)},
        {"--replay",
         [](Options& o, const std::string& v) {
             o.replayFile = v;
             return !v.empty();
         }},
        {"--write-timeout",
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!parseUnsigned(v, 600'000, n))
                 return false;
             o.faults.writeTimeout = std::chrono::milliseconds(n);
             return true;
         }},
        {"--drop-after",
         [](Options& o, const std::string& v) {
             RequestTrigger t;
             if (!parseRequestTrigger(v, t))
                 return false;
             o.faults.dropAfter = t;
             return true;
         }},
        {"--mute-after",
         [](Options& o, const std::string& v) {
             RequestTrigger t;
             if (!parseRequestTrigger(v, t))
                 return false;
             o.faults.muteAfter = t;
             return true;
         }},
        {"--gadgetfs",
         [](Options& o, const std::string& v) {
             o.gadgetFsDirectory = v;
             return !v.empty();
         }},
        {"--stall-writes", endpointCount(&FaultPlan::stallWrites)},
        {"--stall-reads", endpointCount(&FaultPlan::stallReads)},
        {"--refuse-pipe",
         [](Options& o, const std::string& v) {
             std::uint8_t ep = 0;
             if (!parseEndpoint(v, ep) || !isValidEndpoint(ep))
                 return false;
             o.faults.refusedPipes.insert(ep);
             return true;
         }},
        {"--short-reads",
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!parseUnsigned(v, 1023, n) || n == 0)
                 return false;
             o.faults.shortReadBytes = static_cast<std::uint32_t>(n);
             return true;
         }},
        {"--bad-count",
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!parseUnsigned(v, 1'000'000, n) || n == 0)
                 return false;
             o.faults.badCountEvery = static_cast<std::uint32_t>(n);
             return true;
         }},
    };
    return options;
}

const std::map<std::string, std::function<void(Options&)>>& flagOptions() {
    static const std::map<std::string, std::function<void(Options&)>> flags{
        {"--separate-buses", [](Options& o) { o.separateBuses = true; }},
        {"--no-bus-timing", [](Options& o) { o.busTiming = false; }},
        {"--demo", [](Options& o) { o.demo = true; }},
        {"--replay-loop", [](Options& o) { o.replayLoop = true; }},
        {"--unterminated-reads", [](Options& o) { o.faults.unterminatedReads = true; }},
        {"--verbose", [](Options& o) { o.verbose = true; }},
        {"-v", [](Options& o) { o.verbose = true; }},
        {"--help", [](Options& o) { o.help = true; }},
        {"-h", [](Options& o) { o.help = true; }},
    };
    return flags;
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (auto flag = flagOptions().find(name); flag != flagOptions().end() && !value) {
            flag->second(options);
            continue;
        }
        const auto setter = valueOptions().find(name);
        if (setter == valueOptions().end()) {
            error = "unknown option '" + args[i] + "'";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!setter->second(options, *value)) {
            error = "bad value '" + *value + "' for " + name;
            return std::nullopt;
        }
    }
    if (options.floodPercent > 0 && !options.replayFile.empty()) {
        error = "--flood and --replay cannot be combined";
        return std::nullopt;
    }
    return options;
}

std::vector<std::string> optionNames() {
    std::vector<std::string> names;
    for (const auto& [name, setter] : valueOptions())
        names.push_back(name);
    for (const auto& [name, set] : flagOptions())
        names.push_back(name);
    return names;
}

std::string helpText() {
    return R"(Usage: ulmar-emu [options]

A virtual two-channel USB-CAN adapter (USB id 04D8:0053) that hosts reach over
the virtual adapter link: a TCP port on 127.0.0.1 published in the file
<dir>/<name>.adapter, where <dir> is $ULMAR_DEVICE_DIR, else
$XDG_RUNTIME_DIR/ulmar, else /tmp/ulmar-<uid>. Runs until SIGINT or SIGTERM,
then removes its file. See docs/virtual-adapter.md.

Adapter identity:
  --name NAME           adapter name, the discovery file's name (default virtual0);
                        letters, digits, '-', '_', '.'
  --device-code CODE    first characters of the product string, 0-4 characters
                        (default 2A01); the host may change it at run time
  --product TEXT        rest of the product string (default " USB-CAN Virtual")
  --manufacturer TEXT   manufacturer string, index 1 (default Tessel)
  --serial TEXT         serial number string, index 4 (default VA000001; 8
                        characters make the 18-byte descriptor hosts expect)
  --release BCD         device release number, e.g. 0x0226 (default 0x0226)
  --vendor-id ID        USB vendor id (default 0x04D8)
  --product-id ID       USB product id (default 0x0053)
  --languages LIST      language ids of string 0, hex, comma-separated (default 0409)
  --aux-value N         value reported by the auxiliary query (default 1000)

CAN buses:
  --separate-buses      each channel alone on its own bus (default: both
                        channels on one bus, what one sends the other receives)
  --no-bus-timing       frames from the host take no bus time: they pass as fast
                        as the link allows (for benchmarks)
  --rx-buffer FRAMES    receive buffer per channel; frames arriving when it is
                        full are lost and counted as overruns (default 4096)
  --demo                simulated nodes send periodic standard and extended
                        frames and now and then a remote frame, on every bus
  --flood PERCENT       a simulated node loads every bus to PERCENT (1-100) with
                        standard frames 0x7FF, 8 bytes: bytes 0-3 a sequence
                        number (little-endian), bytes 4-7 its complement
  --flood-length BYTES  data bytes of each flood frame, 0-8 (default 8); the
                        first bytes of the pattern above, so shorter frames
                        carry less or none of the sequence number
  --flood-ids PATTERN   identifiers of the flood's frames: fixed (0x7FF, the
                        default), count (standard identifiers 0x000-0x7FF in
                        turn, +1 per frame) or random:COUNT[:SEED] (COUNT
                        distinct random 29-bit extended identifiers drawn from
                        SEED, default 1, sent in turn); count and random let a
                        receiver see every lost frame even at length 0
  --replay FILE         replay a log with its timing: candump -L (.log), Vector
                        ASC (.asc) or CSV (.csv); the format comes from the
                        extension or else the first line. Channel n (can<n>,
                        ASC channel n+1) goes to bus n (modulo buses)
  --replay-loop         start the replay again when the log ends
  Simulated nodes speak at the bit rate of the first started channel of their
  bus and are silent while no channel there is started.

Real USB (Linux, as root; see docs/virtual-adapter.md):
  --gadgetfs DIR        be a real full-speed USB adapter on the machine's USB device
                        controller instead of serving the link: DIR is where
                        gadgetfs is mounted (e.g. /dev/gadget); nothing is published

Controller conditions (CH is 0 or 1; without @CH an option sets both channels):
  --rx-errors N[@CH]    receive error counter reported in the status (0-255)
  --tx-errors N[@CH]    transmit error counter reported in the status (0-255)
  --error-passive CH    the controller is error-passive: its transmit error
                        counter reads at least 128 (repeatable)
  --bus-off CH          the controller is bus-off: status bit 7, transmit error
                        counter 255; it neither sends nor receives (repeatable)
  --overrun-every N[@CH] every N-th frame arriving from the bus is lost as a
                        receive overrun, as if the receive buffer were full

Fault injection (for tests; EP is an endpoint such as 0x01 or 0x81):
  --write-timeout MS    how long a write may wait for room (default 1000)
  --drop-after N[@EP]   after N requests (on EP only, if given) close every
                        connection once, leaving the request unanswered
  --mute-after N[@EP]   after N requests (on EP only, if given) answer nothing more
  --stall-writes EP[:N] writes on EP time out after N successful ones (default 0):
                        status 1 and 0 bytes taken after the write time-out
  --stall-reads EP[:N]  reads on EP time out after N successful ones
  --refuse-pipe EP      refuse to open pipe EP (repeatable)
  --short-reads BYTES   replies to frame reads lose BYTES at the end, so they
                        end inside a block
  --bad-count N         every N-th full block sent to the host carries the
                        count byte 0xC8 instead of 3
  --unterminated-reads  USB only: frame reads end without a closing short packet,
                        so the host's read times out after its data arrived

Other:
  -v, --verbose         print opens, configuration and frames per second
  -h, --help            show this text and exit

Exit codes: 0 stopped by SIGINT/SIGTERM (or --help), 1 could not start,
2 bad command line.
)";
}

} // namespace emu
