#include <gtest/gtest.h>

#include "frames.h"
#include "views/trace_item.h"

using coretest::MakeFrame;

TEST(TraceItem, ReceivedStandardDataLine) {
    const TCorvexTraceItem item(MakeFrame(0x123, true, false, 3, {0x01, 0xAB, 0xFF}, 1234567),
                                false);
    EXPECT_EQ(item.GetText(), "IN  ts: 1234567  id: 123  l: 3  data: 01 AB FF ");
}

TEST(TraceItem, TransmittedExtendedRemoteLine) {
    const TCorvexTraceItem item(MakeFrame(0x1ABCDE, false, true, 0, {}, 42), true);
    EXPECT_EQ(item.GetText(), "OUT ts: 42  id: 001ABCDE  l: 0  Request");
}

TEST(TraceItem, EmptyDataLineEndsAfterTheLabel) {
    const TCorvexTraceItem item(MakeFrame(0x7FF, true, false, 0, {0x55}, 5), false);
    EXPECT_EQ(item.GetText(), "IN  ts: 5  id: 7FF  l: 0  data: ");
}

TEST(TraceItem, RemoteLineShowsItsLengthButNoBytes) {
    const TCorvexTraceItem item(MakeFrame(0x10, true, true, 4, {1, 2, 3, 4}, 0), false);
    EXPECT_EQ(item.GetText(), "IN  ts: 0  id: 010  l: 4  Request");
}

TEST(TraceItem, IdentifierPaddingFollowsTheFormat) {
    EXPECT_EQ(TCorvexTraceItem(MakeFrame(0x7F, true, true, 0), false).GetText(),
              "IN  ts: 0  id: 07F  l: 0  Request");
    EXPECT_EQ(TCorvexTraceItem(MakeFrame(0x7F, false, true, 0), false).GetText(),
              "IN  ts: 0  id: 0000007F  l: 0  Request");
    EXPECT_EQ(TCorvexTraceItem(MakeFrame(0x1FFFFFFF, false, true, 0), true).GetText(),
              "OUT ts: 0  id: 1FFFFFFF  l: 0  Request");
}

TEST(TraceItem, LargestTimeStampIsUnsigned) {
    const TCorvexTraceItem item(MakeFrame(1, true, true, 0, {}, 4294967295u), false);
    EXPECT_EQ(item.GetText(), "IN  ts: 4294967295  id: 001  l: 0  Request");
}

TEST(TraceItem, FullAndOverlongFrames) {
    const auto full =
        MakeFrame(0x100, true, false, 8, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xF7}, 9);
    EXPECT_EQ(TCorvexTraceItem(full, false).GetText(),
              "IN  ts: 9  id: 100  l: 8  data: 00 11 22 33 44 55 66 F7 ");
    auto overlong = full;
    overlong.Len = 15; // the adapter's length byte passes through unchanged
    EXPECT_EQ(TCorvexTraceItem(overlong, false).GetText(),
              "IN  ts: 9  id: 100  l: 15  data: 00 11 22 33 44 55 66 F7 ");
}

TEST(TraceItem, TimeChoicesShowTenthsOfAMillisecond) {
    TCanFrame frame = MakeFrame(0x123, true, false, 1, {0xAB}, 1234567);
    frame.TimeUs = 1'700'000'012'345'678; // 22:13:32.345678 UTC; seconds alike in every zone
    const TCorvexTraceItem item(frame, false);
    EXPECT_EQ(item.GetText(TTraceTimeFormat::Tick, 0), item.GetText());
    EXPECT_EQ(item.GetText(TTraceTimeFormat::SinceStart, frame.TimeUs - 12'345'678),
              "IN  t: 12.3456  id: 123  l: 1  data: AB ");
    EXPECT_EQ(item.GetText(TTraceTimeFormat::Delta, frame.TimeUs - 1'250),
              "IN  t: +0.0012  id: 123  l: 1  data: AB ");
    // A sent frame's host time may fall just before the received one above it.
    EXPECT_EQ(item.GetText(TTraceTimeFormat::Delta, frame.TimeUs + 300),
              "IN  t: -0.0003  id: 123  l: 1  data: AB ");
    const std::string clock = item.GetText(TTraceTimeFormat::Clock, 0);
    ASSERT_EQ(clock.size(), std::string("IN  t: 00:00:12.3456  id: 123  l: 1  data: AB ").size())
        << clock;
    EXPECT_EQ(clock.substr(12, 8), ":32.3456") << clock;
}
