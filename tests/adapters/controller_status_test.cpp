#include <gtest/gtest.h>

#include "adapters/controller_status.h"
#include "ulmar.h"

namespace {

VciCanStatus Record(std::uint8_t statusRegister, std::uint8_t rx, std::uint8_t tx,
                    std::uint16_t overruns) {
    VciCanStatus record{};
    record.statusCode = statusRegister;
    record.registerImage[0] = rx;
    record.registerImage[1] = tx;
    record.registerImage[2] = static_cast<std::uint8_t>(overruns & 0xFF);
    record.extra = overruns >> 8;
    return record;
}

TEST(ControllerStatus, StatesFollowTheCountersAndTheStatusRegister) {
    TControllerStatusReader reader;
    EXPECT_EQ(reader.Take(Record(0x0C, 0, 0, 0)).State, TControllerState::ErrorActive);
    EXPECT_EQ(reader.Take(Record(0x4C, 0, 0, 0)).State, TControllerState::Warning);
    EXPECT_EQ(reader.Take(Record(0x0C, 96, 0, 0)).State, TControllerState::Warning);
    const TControllerStatus passive = reader.Take(Record(0x4C, 3, 128, 0));
    EXPECT_EQ(passive.State, TControllerState::ErrorPassive);
    EXPECT_EQ(passive.ReceiveErrors, 3);
    EXPECT_EQ(passive.TransmitErrors, 128);
    EXPECT_TRUE(passive.Valid);
    EXPECT_EQ(reader.Take(Record(0xCC, 0, 255, 0)).State, TControllerState::BusOff);
}

TEST(ControllerStatus, OverrunsCountFromTheFirstRecordAcrossTheSixteenBitWrap) {
    TControllerStatusReader reader;
    EXPECT_EQ(reader.Take(Record(0, 0, 0, 65000)).Overruns, 0u) << "earlier losses are not ours";
    EXPECT_EQ(reader.Take(Record(0, 0, 0, 65300)).Overruns, 300u);
    EXPECT_EQ(reader.Take(Record(0, 0, 0, 200)).Overruns, 300u + 436u) << "wrapped past 65535";
    EXPECT_EQ(reader.Take(Record(0, 0, 0, 200)).Overruns, 736u);
    reader.Restart();
    EXPECT_EQ(reader.Take(Record(0, 0, 0, 900)).Overruns, 736u) << "a new baseline, same total";
    EXPECT_EQ(reader.Take(Record(0, 0, 0, 910)).Overruns, 746u);
}

} // namespace
