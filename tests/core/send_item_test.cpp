#include <vector>

#include <gtest/gtest.h>

#include "fake_ticks.h"
#include "test_support.h"
#include "transmit/send_item.h"

TEST(SendItem, NewItemDefaultsAndTypeNames) {
    TCanSendItem item;
    EXPECT_EQ(item.Caption, "");
    EXPECT_EQ(item.SendType, TCanSendType::Single);
    EXPECT_EQ(item.Period, 0);
    EXPECT_EQ(item.Count.load(), 0);
    EXPECT_FALSE(item.Enabled.load());
    EXPECT_EQ(item.LastSendTime.load(), 0u);
    EXPECT_EQ(item.GetTypeName(), "Single");
    item.SendType = TCanSendType::Periodic;
    EXPECT_EQ(item.GetTypeName(), "Periodic");
    item.SendType = TCanSendType::OnRequest;
    EXPECT_EQ(item.GetTypeName(), "OnRequest");
    item.SendType = static_cast<TCanSendType>(7);
    EXPECT_EQ(item.GetTypeName(), "Unknown");
}

TEST(SendItem, SendHandsTheFrameOverNotesTheTimeAndCounts) {
    tessel::test::FakeTicks ticks(5000);
    TCanSendItem item;
    item.Frame.Id = 0x321;
    item.Tag = 0x10002;
    std::vector<std::pair<int, int>> reports;
    item.OnCountChanged = [&](std::int32_t count, std::int32_t tag) {
        reports.emplace_back(count, tag);
    };

    item.Send(); // without a send handler: nothing at all
    EXPECT_EQ(item.Count.load(), 0);
    EXPECT_TRUE(reports.empty());

    std::vector<std::uint32_t> sent;
    item.OnSend = [&](const TCanFrame& frame) { sent.push_back(frame.Id); };
    item.Send();
    ticks.Set(5010);
    item.Send();
    EXPECT_EQ(sent, (std::vector<std::uint32_t>{0x321, 0x321}));
    EXPECT_EQ(item.Count.load(), 2);
    EXPECT_EQ(item.LastSendTime.load(), 5010u);
    EXPECT_EQ(reports, (std::vector<std::pair<int, int>>{{1, 0x10002}, {2, 0x10002}}));

    item.ResetCount();
    EXPECT_EQ(item.Count.load(), 0);
    EXPECT_EQ(reports.back(), std::make_pair(0, 0x10002));
}

TEST(SendItem, SetPeriodKeepsItPositive) {
    TCanSendItem item;
    item.SetPeriod(0);
    EXPECT_EQ(item.Period, 1);
    item.SetPeriod(-5);
    EXPECT_EQ(item.Period, 1);
    item.SetPeriod(250);
    EXPECT_EQ(item.Period, 250);
}

TEST(SendItem, AssignCopiesTheUsersFieldsOnly) {
    TCanSendItem source;
    source.Caption = "Engine";
    source.Frame.Id = 0x123;
    source.Frame.Len = 2;
    source.Frame.Data[1] = 0x22;
    source.SendType = TCanSendType::Periodic;
    source.Period = 1000;
    source.Enabled.store(true);
    source.Count.store(9);
    source.Tag = 4;
    source.LastSendTime.store(77);

    TCanSendItem copy;
    copy.Tag = 1;
    copy.Assign(source);
    EXPECT_EQ(copy.Caption, "Engine");
    EXPECT_EQ(copy.Frame.Id, 0x123u);
    EXPECT_EQ(copy.Frame.Data[1], 0x22);
    EXPECT_EQ(copy.SendType, TCanSendType::Periodic);
    EXPECT_EQ(copy.Period, 1000);
    EXPECT_TRUE(copy.Enabled.load());
    EXPECT_EQ(copy.Count.load(), 0);
    EXPECT_EQ(copy.Tag, 1);
    EXPECT_EQ(copy.LastSendTime.load(), 0u);
}

TEST(SendItemText, NewRemoteItemLine) {
    TCanSendItem item;
    item.Frame.Id = 0x7FF;
    item.Frame.IsRemote = true;
    EXPECT_EQ(item.ToText(), "0;0;0;7FF;1;0;;;");
}

TEST(SendItemText, PeriodicLineRoundTrip) {
    TCanSendItem item;
    ASSERT_TRUE(item.FromText("1;3E8;1;123;0;2;1122;Engine;"));
    EXPECT_EQ(item.SendType, TCanSendType::Periodic);
    EXPECT_TRUE(item.Enabled.load());
    EXPECT_EQ(item.Period, 1000);
    EXPECT_EQ(item.Frame.Id, 0x123u);
    EXPECT_FALSE(item.Frame.IsRemote);
    EXPECT_EQ(item.Frame.Len, 2u);
    EXPECT_EQ(item.Frame.Data, (std::array<std::uint8_t, 8>{0x11, 0x22, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(item.Caption, "Engine");
    EXPECT_EQ(item.ToText(), "1;3E8;1;123;0;2;1122;Engine;");
}

TEST(SendItemText, RemoteItemWritesItsDataBytesToo) {
    TCanSendItem item;
    item.SendType = TCanSendType::OnRequest;
    item.Enabled.store(true);
    item.Frame.Id = 0x1ABCDEF;
    item.Frame.IsRemote = true;
    item.Frame.Len = 3;
    item.Frame.Data = {0xA0, 0x0B, 0xFF, 0x44, 0, 0, 0, 0};
    item.Caption = "ask; and answer";
    EXPECT_EQ(item.ToText(), "2;0;1;1ABCDEF;1;3;A00BFF;ask; and answer;");
}

TEST(SendItemText, RejectedLines) {
    const char* rejected[] = {
        "3;0;0;100;0;0;;;",        // kind out of range
        "-1;0;0;100;0;0;;;",       // not a number
        "1;;0;100;0;0;;;",         // empty period
        "1;80000000;0;100;0;0;;;", // negative period
        "0;0;0;80000000;0;0;;;",   // negative identifier
        "0;0;0;G1;0;0;;;",         // not hexadecimal
        "0;0;0;100;0;9;;;",        // length above 8
        "0;0;0;100;0;;;;",         // empty length
        "0;0;0;100;0",             // length missing
        "0;0;0;100000000;0;0;;;",  // wider than 32 bits
        "",
    };
    for (const char* line : rejected) {
        TCanSendItem item;
        EXPECT_FALSE(item.FromText(line)) << line;
    }
}

TEST(SendItemText, AcceptanceRulesOfTheSmallerFields) {
    TCanSendItem item;
    ASSERT_TRUE(item.FromText("1;0;2;100;0;0;;;"));
    EXPECT_FALSE(item.Enabled.load()); // only 1 switches on
    EXPECT_EQ(item.Period, 0);         // stored as read
    ASSERT_TRUE(item.FromText("1;0;01;100;01;0;;;"));
    EXPECT_TRUE(item.Enabled.load());
    EXPECT_TRUE(item.Frame.IsRemote);
    ASSERT_TRUE(item.FromText("0;0;0;7FF;0;0"));
    EXPECT_EQ(item.Caption, "");
    ASSERT_TRUE(item.FromText("0;a;0;1fffffff;0;8;0102030405060708090A;x;tail ignored;"));
    EXPECT_EQ(item.Period, 10);
    EXPECT_EQ(item.Frame.Id, 0x1FFFFFFFu);
    EXPECT_EQ(item.Frame.Data, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(item.Caption, "x");
}

TEST(SendItemText, DataFieldReading) {
    TCanSendItem item;
    ASSERT_TRUE(item.FromText("0;0;0;1;0;2;GG11;;"));
    EXPECT_EQ(item.Frame.Data[0], 0);
    EXPECT_EQ(item.Frame.Data[1], 0x11);

    item.Frame.Data.fill(0x99);
    ASSERT_TRUE(item.FromText("0;0;0;1;0;1;A;;"));
    EXPECT_EQ(item.Frame.Data, (std::array<std::uint8_t, 8>{}));

    ASSERT_TRUE(item.FromText("0;0;0;1;0;2;abC;;"));
    EXPECT_EQ(item.Frame.Data[0], 0xAB);
    EXPECT_EQ(item.Frame.Data[1], 0);
}

TEST(SendItemText, ARejectedLineKeepsWhatWasReadBeforeIt) {
    TCanSendItem item;
    EXPECT_FALSE(item.FromText("2;64;1;80000000;1;0;;;"));
    EXPECT_EQ(item.SendType, TCanSendType::OnRequest);
    EXPECT_EQ(item.Period, 100);
    EXPECT_TRUE(item.Enabled.load());
}
