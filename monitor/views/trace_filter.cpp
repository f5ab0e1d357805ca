#include "views/trace_filter.h"

#include <algorithm>
#include <cctype>

#include "views/trace_item.h"

namespace {

std::string WithoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out.push_back(c);
    return out;
}

// Up to 8 hexadecimal digits, nothing else.
bool ParseHex(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8)
        return false;
    value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

} // namespace

bool TTraceFilter::Matches(const TCorvexTraceItem& item) const {
    if (Direction == TDirection::Incoming && item.IsOutgoing)
        return false;
    if (Direction == TDirection::Outgoing && !item.IsOutgoing)
        return false;
    return !FirstId || (item.Id >= *FirstId && item.Id <= LastId);
}

bool ParseIdRange(const std::string& text, TTraceFilter& filter) {
    const std::string compact = WithoutBlanks(text);
    if (compact.empty()) {
        filter.FirstId.reset();
        return true;
    }
    const auto dash = compact.find('-');
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    if (dash == std::string::npos) {
        if (!ParseHex(compact, first))
            return false;
        last = first;
    } else if (!ParseHex(compact.substr(0, dash), first) ||
               !ParseHex(compact.substr(dash + 1), last) || last < first) {
        return false;
    }
    filter.FirstId = first;
    filter.LastId = last;
    return true;
}

bool TTraceQuery::Matches(const TCorvexTraceItem& item) const {
    if (Id)
        return item.Id == *Id;
    if (Bytes.empty() || item.IsRemote)
        return false;
    const auto length = static_cast<std::size_t>(std::clamp(item.Len, 0, 8));
    const auto begin = item.Data.begin();
    return std::search(begin, begin + static_cast<std::ptrdiff_t>(length), Bytes.begin(),
                       Bytes.end()) != begin + static_cast<std::ptrdiff_t>(length);
}

bool ParseQuery(const std::string& text, bool bytes, TTraceQuery& query) {
    const std::string compact = WithoutBlanks(text);
    query = {};
    if (!bytes) {
        std::uint32_t id = 0;
        if (!ParseHex(compact, id))
            return false;
        query.Id = id;
        return true;
    }
    if (compact.empty() || compact.size() % 2 != 0 || compact.size() > 16)
        return false;
    for (std::size_t i = 0; i < compact.size(); i += 2) {
        std::uint32_t byte = 0;
        if (!ParseHex(compact.substr(i, 2), byte))
            return false;
        query.Bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    return true;
}
