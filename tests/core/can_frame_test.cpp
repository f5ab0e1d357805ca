#include <gtest/gtest.h>

#include "model/can_frame.h"
#include "model/can_settings.h"

TEST(CanFrame, NewFrameIsAnEmptyExtendedDataFrame) {
    const TCanFrame frame;
    EXPECT_EQ(frame.Id, 0u);
    EXPECT_EQ(frame.Len, 0u);
    EXPECT_FALSE(frame.IsRemote);
    EXPECT_FALSE(frame.IsStandard);
    EXPECT_EQ(frame.TimeStamp, 0u);
    for (const auto byte : frame.Data)
        EXPECT_EQ(byte, 0);
    const TCanSettings settings;
    EXPECT_EQ(settings.Rate, 0);
    EXPECT_EQ(settings.Mode, TCanMode::Standard);
}

TEST(CanFrame, AssignCopiesAllFieldsAndLeavesTheSourceAlone) {
    TCanFrame source;
    source.Id = 0x1ABCDE;
    source.Len = 3;
    source.Data = {1, 2, 3, 4, 5, 6, 7, 8};
    source.IsRemote = true;
    source.IsStandard = true;
    source.TimeStamp = 4294967295u;

    TCanFrame copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Id, source.Id);
    EXPECT_EQ(copy.Len, source.Len);
    EXPECT_EQ(copy.Data, source.Data);
    EXPECT_TRUE(copy.IsRemote);
    EXPECT_TRUE(copy.IsStandard);
    EXPECT_EQ(copy.TimeStamp, source.TimeStamp);

    copy.Data[0] = 0xEE;
    copy.Id = 5;
    EXPECT_EQ(source.Data[0], 1);
    EXPECT_EQ(source.Id, 0x1ABCDEu);
}
