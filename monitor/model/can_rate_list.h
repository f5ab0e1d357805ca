#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The rates an adapter reports through its GetRates(list); empty means "keep
// the built-in table".
using TCanRateArray = std::vector<std::int32_t>;

// One selectable bit rate.
class TCanRateItem {
public:
    explicit TCanRateItem(std::uint32_t rate) : Rate(rate) {}

    // "250 Kbit/sec", "1 Mbit/sec"; see the .cpp for rates that are not whole.
    std::string GetText() const;

    const std::uint32_t Rate; // bit/s
};

// The bit rates the user can choose from; starts with the built-in table of
// fifteen rates, 250000 bit/s (position 9) being the default.
class TCanRateList {
public:
    static constexpr std::int32_t DefaultRate = 250000;

    TCanRateList();

    void Add(std::uint32_t rate);
    int Count() const { return static_cast<int>(FItems.size()); }
    const TCanRateItem* Items(int index) const;

    // Appends the text of every item, in list order.
    void GetTexts(std::vector<std::string>& strings) const;
    // Position of the first item with this rate; -1 when none (or negative).
    int IndexOf(std::int32_t rate) const;
    // The rate at the position; 0 outside the list.
    std::uint32_t RateAt(int position) const;

    // Takes the rates of an adapter (anything with GetRates(TCanRateArray&));
    // an empty answer, or no adapter, leaves the list unchanged.
    template <class TAdapter> void LoadFromAdapter(TAdapter* adapter) {
        if (adapter == nullptr)
            return;
        TCanRateArray rates;
        adapter->GetRates(rates);
        LoadRates(rates);
    }
    // Replaces the list with the given rates, in their order, when there is
    // at least one; otherwise leaves it unchanged.
    void LoadRates(const TCanRateArray& rates);

private:
    std::vector<std::unique_ptr<TCanRateItem>> FItems;
};
