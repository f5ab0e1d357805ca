#include "views/trace_time.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace {

// Floor division, so that times before the epoch or the reference still split
// into a whole part and a fraction in 0..divisor-1.
std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t q = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? q - 1 : q;
}

void AppendSeconds(std::string& text, std::int64_t us, bool sign) {
    const std::int64_t tenths = us >= 0 ? us / 100 : -((-us) / 100); // 0.1 ms
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s%" PRId64 ".%04" PRId64,
                  tenths < 0 ? "-" : (sign ? "+" : ""), magnitude / 10000, magnitude % 10000);
    text += buffer;
}

} // namespace

void AppendTraceTime(std::string& text, TTraceTimeFormat format, std::int64_t timeUs,
                     std::int64_t referenceUs) {
    switch (format) {
    case TTraceTimeFormat::Tick:
        return;
    case TTraceTimeFormat::Clock: {
        const std::time_t seconds = static_cast<std::time_t>(FloorDiv(timeUs, 1'000'000));
        const std::int64_t tenths = (timeUs - FloorDiv(timeUs, 1'000'000) * 1'000'000) / 100;
        std::tm local{};
        localtime_r(&seconds, &local);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%04" PRId64, local.tm_hour,
                      local.tm_min, local.tm_sec, tenths);
        text += buffer;
        return;
    }
    case TTraceTimeFormat::SinceStart:
        AppendSeconds(text, timeUs - referenceUs, false);
        return;
    case TTraceTimeFormat::Delta:
        AppendSeconds(text, timeUs - referenceUs, true);
        return;
    }
}
