// candump -L lines, one at a time, as the readers see them.
#include <gtest/gtest.h>

#include "line_parser.h"

namespace canlog {
namespace {

LogFrame parse(const std::string& line) {
    LineParser parser(Format::Candump);
    LogFrame frame;
    std::string error;
    EXPECT_EQ(parser.parse(line, frame, error), LineKind::Frame) << line << ": " << error;
    return frame;
}

bool rejects(const std::string& line) {
    LineParser parser(Format::Candump);
    LogFrame frame;
    std::string error;
    const bool rejected = parser.parse(line, frame, error) == LineKind::Malformed;
    EXPECT_TRUE(!rejected || !error.empty());
    return rejected;
}

TEST(CandumpLine, ParsesStandardDataFrame) {
    const auto f = parse("(1436509052.249713) vcan0 044#2A366C2BBA");
    EXPECT_EQ(f.timeUs, 1436509052249713);
    EXPECT_EQ(f.channel, 0);
    EXPECT_EQ(f.id, 0x044u);
    EXPECT_FALSE(f.extended);
    EXPECT_FALSE(f.remote);
    ASSERT_EQ(f.length, 5);
    EXPECT_EQ(f.data[0], 0x2A);
    EXPECT_EQ(f.data[4], 0xBA);
    EXPECT_EQ(f.data[5], 0);
}

TEST(CandumpLine, EightDigitIdentifierIsExtended) {
    const auto f = parse("(0.5) can1 18FEF100#0102030405060708");
    EXPECT_TRUE(f.extended);
    EXPECT_EQ(f.channel, 1);
    EXPECT_EQ(f.id, 0x18FEF100u);
    EXPECT_EQ(f.length, 8);
    EXPECT_EQ(f.data[7], 0x08);
    // Leading zeros still make it extended.
    EXPECT_TRUE(parse("(0.5) can1 00000123#").extended);
}

TEST(CandumpLine, RemoteFramesWithAndWithoutLength) {
    auto f = parse("(1.0) can0 123#R");
    EXPECT_TRUE(f.remote);
    EXPECT_EQ(f.length, 0);
    f = parse("(1.0) can0 1ABCDE00#R4");
    EXPECT_TRUE(f.remote);
    EXPECT_TRUE(f.extended);
    EXPECT_EQ(f.length, 4);
}

TEST(CandumpLine, EmptyDataDottedBytesAndDirectionMark) {
    EXPECT_EQ(parse("(1.0) can0 7FF#").length, 0);
    const auto f = parse("(1.0) can0 100#11.22.33");
    EXPECT_EQ(f.length, 3);
    EXPECT_EQ(f.data[2], 0x33);
    EXPECT_TRUE(parse("(1.0) can0 100#11 T").tx);
    EXPECT_FALSE(parse("(1.0) can0 100#11 R").tx);
}

TEST(CandumpLine, RejectsWhatIsNotAClassicFrame) {
    EXPECT_TRUE(rejects("(1.0) can0 800#11"));              // above 11 bits
    EXPECT_TRUE(rejects("(1.0) can0 20000080#0000000000")); // error frame flag
    EXPECT_TRUE(rejects("(1.0) can0 123##311"));            // CAN FD
    EXPECT_TRUE(rejects("(1.0) can0 123#112233445566778899"));
    EXPECT_TRUE(rejects("(1.0) can0 123#123")); // odd digits
    EXPECT_TRUE(rejects("(1.0) can0 123#R9"));
    EXPECT_TRUE(rejects("1.0 can0 123#11")); // no parentheses
    EXPECT_TRUE(rejects("(1.0) can0"));
    EXPECT_TRUE(rejects("(abc) can0 123#11"));
    EXPECT_TRUE(rejects("(1.0) can0 123456789#11")); // nine digits
}

TEST(CandumpLine, InterfacesWithoutANumberAreNumberedInOrderOfAppearance) {
    LineParser parser(Format::Candump);
    LogFrame frame;
    std::string error;
    ASSERT_EQ(parser.parse("(1.0) left 100#", frame, error), LineKind::Frame);
    EXPECT_EQ(frame.channel, 0);
    ASSERT_EQ(parser.parse("(1.0) right 100#", frame, error), LineKind::Frame);
    EXPECT_EQ(frame.channel, 1);
    ASSERT_EQ(parser.parse("(1.0) left 100#", frame, error), LineKind::Frame);
    EXPECT_EQ(frame.channel, 0);
}

} // namespace
} // namespace canlog
