#include <gtest/gtest.h>

#include "model/can_rate_list.h"

namespace {

struct FakeAdapter {
    TCanRateArray Rates;
    void GetRates(TCanRateArray& rates) const { rates = Rates; }
};

} // namespace

TEST(CanRateList, BuiltInTableTextsInOrder) {
    const TCanRateList list;
    std::vector<std::string> texts{"kept"};
    list.GetTexts(texts);
    const std::vector<std::string> expected{
        "kept",         "5 Kbit/sec",   "10 Kbit/sec",  "20 Kbit/sec",
        "40 Kbit/sec",  "50 Kbit/sec",  "80 Kbit/sec",  "100 Kbit/sec",
        "125 Kbit/sec", "200 Kbit/sec", "250 Kbit/sec", "400 Kbit/sec",
        "500 Kbit/sec", "666 Kbit/sec", "800 Kbit/sec", "1 Mbit/sec"};
    EXPECT_EQ(texts, expected);
}

TEST(CanRateList, IndexOfAndRateAt) {
    const TCanRateList list;
    EXPECT_EQ(list.IndexOf(250000), 9);
    EXPECT_EQ(list.IndexOf(TCanRateList::DefaultRate), 9);
    EXPECT_EQ(list.IndexOf(5000), 0);
    EXPECT_EQ(list.IndexOf(300000), -1);
    EXPECT_EQ(list.IndexOf(-1), -1);
    EXPECT_EQ(list.RateAt(14), 1000000u);
    EXPECT_EQ(list.RateAt(0), 5000u);
    EXPECT_EQ(list.RateAt(15), 0u);
    EXPECT_EQ(list.RateAt(-1), 0u);
}

TEST(CanRateList, AddAppendsAndIndexOfFindsTheFirst) {
    TCanRateList list;
    list.Add(250000);
    EXPECT_EQ(list.Count(), 16);
    EXPECT_EQ(list.RateAt(15), 250000u);
    EXPECT_EQ(list.IndexOf(250000), 9);
}

TEST(CanRateList, TextsOfRatesThatAreNotWhole) {
    EXPECT_EQ(TCanRateItem(2000000).GetText(), "2 Mbit/sec");
    EXPECT_EQ(TCanRateItem(1000500).GetText(), "1 Mbit/sec");
    EXPECT_EQ(TCanRateItem(1500000).GetText(), "1500 Kbit/sec");
    EXPECT_EQ(TCanRateItem(83333).GetText(), "83333 bit/sec");
    EXPECT_EQ(TCanRateItem(999).GetText(), "999 bit/sec");
}

TEST(CanRateList, LoadFromAdapterKeepsTheTableOnAnEmptyAnswer) {
    TCanRateList list;
    FakeAdapter silent;
    list.LoadFromAdapter(&silent);
    EXPECT_EQ(list.Count(), 15);
    list.LoadFromAdapter(static_cast<FakeAdapter*>(nullptr));
    EXPECT_EQ(list.Count(), 15);

    FakeAdapter twoRates{{500000, 125000}};
    list.LoadFromAdapter(&twoRates);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.RateAt(0), 500000u);
    EXPECT_EQ(list.RateAt(1), 125000u);
}
