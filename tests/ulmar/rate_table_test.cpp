// The generated rate table against rows known from the adapter's documentation
// of its timing pairs, and the nearest-row search.
#include "protocol/rate_table.h"

#include <gtest/gtest.h>

using namespace ulmar;

namespace {

struct KnownRow {
    std::size_t row;
    double rate;
    std::uint8_t btr0;
    std::uint8_t btr1;
};

} // namespace

TEST(RateTable, KnownRows) {
    const KnownRow known[] = {
        {0, 1000.0, 0x00, 0x14},   {8, 500.0, 0x00, 0x1C},  {12, 400.0, 0x00, 0x2F},
        {18, 307.692, 0x01, 0x19}, {22, 250.0, 0x01, 0x1C}, {45, 125.0, 0x03, 0x1C},
        {56, 100.0, 0x03, 0x2F},   {101, 50.0, 0x07, 0x2F}, {154, 30.303, 0x0A, 0x6F},
        {212, 20.0, 0x0F, 0x7F},   {310, 10.0, 0x1F, 0x7F},
    };
    for (const KnownRow& k : known) {
        const RateRow& row = rateTable()[k.row];
        EXPECT_DOUBLE_EQ(row.rateKbps, k.rate) << "row " << k.row;
        EXPECT_EQ(row.btr0, k.btr0) << "row " << k.row;
        EXPECT_EQ(row.btr1, k.btr1) << "row " << k.row;
    }
}

TEST(RateTable, StrictlyDescendingThenSentinel) {
    const auto& table = rateTable();
    for (std::size_t i = 1; i < kRateRows; ++i)
        EXPECT_GT(table[i - 1].rateKbps, table[i].rateKbps) << "row " << i;
    EXPECT_EQ(table[kRateRows].rateKbps, 0.0);
    EXPECT_EQ(table[kRateRows].btr0, 0);
    EXPECT_EQ(table[kRateRows].btr1, 0);
}

TEST(RateTable, EveryRowReproducesItsRateOnTheEightMegahertzClock) {
    for (std::size_t i = 0; i < kRateRows; ++i) {
        const RateRow& row = rateTable()[i];
        const int prescaler = (row.btr0 & 0x3F) + 1;
        const int bitTime = (row.btr1 & 0x0F) + ((row.btr1 >> 4) & 7) + 3;
        EXPECT_LE(prescaler, 32);
        EXPECT_NEAR(8000.0 / prescaler / bitTime, row.rateKbps, 0.0005) << "row " << i;
    }
}

TEST(RateTable, NearestRow) {
    EXPECT_EQ(nearestRateRow(1000.0), 0u);
    EXPECT_EQ(nearestRateRow(562.5), 6u);
    EXPECT_DOUBLE_EQ(rateTable()[6].rateKbps, 571.429);
    EXPECT_EQ(nearestRateRow(36000.0 / 9 / 12), 16u);
    EXPECT_EQ(nearestRateRow(8000.0 / 33 / 8), 154u);
    EXPECT_EQ(nearestRateRow(10.0), 310u);
    EXPECT_EQ(nearestRateRow(10.001), 310u);
}

TEST(RateTable, ExactlyBetweenTwoRowsChoosesTheLowerRate) {
    // 410.5265 lies exactly between 421.053 (row 11) and 400 (row 12).
    const double between = (rateTable()[11].rateKbps + rateTable()[12].rateKbps) / 2;
    ASSERT_EQ(between - rateTable()[12].rateKbps, rateTable()[11].rateKbps - between);
    EXPECT_EQ(nearestRateRow(between), 12u);
}
