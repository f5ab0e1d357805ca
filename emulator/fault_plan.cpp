#include "fault_plan.h"

#include <charconv>

#include "frame_block.h"

namespace emu {
namespace {

bool parseNumber(const std::string& text, std::uint32_t& value) {
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty())
        return false;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    return ec == std::errc() && end == digits.data() + digits.size();
}

} // namespace

bool parseEndpoint(const std::string& text, std::uint8_t& endpoint) {
    std::uint32_t value = 0;
    if (!parseNumber(text, value) || value > 0xFF)
        return false;
    endpoint = static_cast<std::uint8_t>(value);
    return true;
}

bool parseRequestTrigger(const std::string& text, RequestTrigger& out) {
    const auto at = text.find('@');
    out = {};
    if (!parseNumber(text.substr(0, at), out.after))
        return false;
    if (at == std::string::npos)
        return true;
    std::uint8_t endpoint = 0;
    if (!parseEndpoint(text.substr(at + 1), endpoint))
        return false;
    out.endpoint = endpoint;
    return true;
}

bool parseEndpointCount(const std::string& text, std::uint8_t& endpoint, std::uint32_t& count) {
    const auto colon = text.find(':');
    count = 0;
    if (!parseEndpoint(text.substr(0, colon), endpoint))
        return false;
    return colon == std::string::npos || parseNumber(text.substr(colon + 1), count);
}

RequestFate FaultInjector::onRequest(std::uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    if (plan_.muteAfter && counts(*plan_.muteAfter, endpoint) &&
        ++muteCount_ > plan_.muteAfter->after)
        return RequestFate::Mute;
    if (plan_.dropAfter && !dropped_ && counts(*plan_.dropAfter, endpoint) &&
        ++dropCount_ > plan_.dropAfter->after) {
        dropped_ = true;
        return RequestFate::Drop;
    }
    return RequestFate::Answer;
}

bool FaultInjector::stalls(const std::map<std::uint8_t, std::uint32_t>& limits,
                           std::map<std::uint8_t, std::uint32_t>& done, std::uint8_t endpoint) {
    const auto limit = limits.find(endpoint);
    if (limit == limits.end())
        return false;
    std::lock_guard lock(mutex_);
    std::uint32_t& count = done[endpoint];
    if (count >= limit->second)
        return true;
    ++count;
    return false;
}

bool FaultInjector::stallsWrite(std::uint8_t endpoint) {
    return stalls(plan_.stallWrites, writesDone_, endpoint);
}

bool FaultInjector::stallsRead(std::uint8_t endpoint) {
    return stalls(plan_.stallReads, readsDone_, endpoint);
}

void FaultInjector::mangleFrameRead(std::vector<std::uint8_t>& bytes) {
    if (plan_.badCountEvery > 0) {
        std::lock_guard lock(mutex_);
        for (std::size_t at = 0; at + kBlockSize <= bytes.size(); at += kBlockSize) {
            if (bytes[at] != kFramesPerBlock)
                continue;
            if (++fullBlocks_ % plan_.badCountEvery == 0)
                bytes[at] = 0xC8;
        }
    }
    if (plan_.shortReadBytes > 0)
        bytes.resize(bytes.size() > plan_.shortReadBytes ? bytes.size() - plan_.shortReadBytes : 0);
}

} // namespace emu
