#include "model/can_rate_list.h"

namespace {

constexpr std::uint32_t BuiltInRates[] = {5000,   10000,  20000,  40000,  50000,
                                          80000,  100000, 125000, 200000, 250000,
                                          400000, 500000, 666000, 800000, 1000000};

} // namespace

// Whole Mbit/s and whole kbit/s read "1 Mbit/sec" and "250 Kbit/sec". A rate
// that is neither (only adapters can report one) falls to the finest unit that
// still gives a whole number, such as "1500 Kbit/sec" or "83333 bit/sec",
// rather than a bare unit with no number.
std::string TCanRateItem::GetText() const {
    const std::uint32_t mega = Rate / 1000000;
    const std::uint32_t kilo = (Rate % 1000000) / 1000;
    const std::uint32_t rest = Rate % 1000;
    if (mega > 0 && kilo == 0)
        return std::to_string(mega) + " Mbit/sec";
    if (mega == 0 && kilo > 0 && rest == 0)
        return std::to_string(kilo) + " Kbit/sec";
    if (rest == 0 && Rate > 0)
        return std::to_string(Rate / 1000) + " Kbit/sec";
    return std::to_string(Rate) + " bit/sec";
}

TCanRateList::TCanRateList() {
    for (const std::uint32_t rate : BuiltInRates)
        Add(rate);
}

void TCanRateList::Add(std::uint32_t rate) {
    FItems.push_back(std::make_unique<TCanRateItem>(rate));
}

const TCanRateItem* TCanRateList::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return FItems[static_cast<std::size_t>(index)].get();
}

void TCanRateList::GetTexts(std::vector<std::string>& strings) const {
    for (const auto& item : FItems)
        strings.push_back(item->GetText());
}

int TCanRateList::IndexOf(std::int32_t rate) const {
    if (rate < 0)
        return -1;
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<std::size_t>(i)]->Rate == static_cast<std::uint32_t>(rate))
            return i;
    return -1;
}

std::uint32_t TCanRateList::RateAt(int position) const {
    const TCanRateItem* item = Items(position);
    return item != nullptr ? item->Rate : 0;
}

void TCanRateList::LoadRates(const TCanRateArray& rates) {
    if (rates.empty())
        return;
    FItems.clear();
    for (const std::int32_t rate : rates)
        Add(static_cast<std::uint32_t>(rate));
}
