#include <gtest/gtest.h>

#include <sstream>

#include "candump.h"
#include "replay_node.h"

namespace emu {
namespace {

CandumpRecord parse(const std::string& line) {
    std::string error;
    auto record = parseCandumpLine(line, error);
    EXPECT_TRUE(record) << line << ": " << error;
    return record.value_or(CandumpRecord{});
}

bool rejects(const std::string& line) {
    std::string error;
    const bool rejected = !parseCandumpLine(line, error);
    EXPECT_TRUE(!rejected || !error.empty());
    return rejected;
}

TEST(Candump, ParsesStandardDataFrame) {
    const auto r = parse("(1436509052.249713) vcan0 044#2A366C2BBA");
    EXPECT_DOUBLE_EQ(r.time, 1436509052.249713);
    EXPECT_EQ(r.interface, "vcan0");
    EXPECT_EQ(r.frame.id, 0x044u);
    EXPECT_FALSE(r.frame.extended);
    EXPECT_FALSE(r.frame.remote);
    ASSERT_EQ(r.frame.length, 5);
    EXPECT_EQ(r.frame.data[0], 0x2A);
    EXPECT_EQ(r.frame.data[4], 0xBA);
    EXPECT_EQ(r.frame.data[5], 0);
}

TEST(Candump, EightDigitIdentifierIsExtended) {
    const auto r = parse("(0.5) can1 18FEF100#0102030405060708");
    EXPECT_TRUE(r.frame.extended);
    EXPECT_EQ(r.frame.id, 0x18FEF100u);
    EXPECT_EQ(r.frame.length, 8);
    EXPECT_EQ(r.frame.data[7], 0x08);
    // Leading zeros still make it extended.
    EXPECT_TRUE(parse("(0.5) can1 00000123#").frame.extended);
}

TEST(Candump, RemoteFramesWithAndWithoutLength) {
    auto r = parse("(1.0) can0 123#R");
    EXPECT_TRUE(r.frame.remote);
    EXPECT_EQ(r.frame.length, 0);
    r = parse("(1.0) can0 1ABCDE00#R4");
    EXPECT_TRUE(r.frame.remote);
    EXPECT_TRUE(r.frame.extended);
    EXPECT_EQ(r.frame.length, 4);
}

TEST(Candump, EmptyDataAndDottedBytes) {
    EXPECT_EQ(parse("(1.0) can0 7FF#").frame.length, 0);
    const auto r = parse("(1.0) can0 100#11.22.33");
    EXPECT_EQ(r.frame.length, 3);
    EXPECT_EQ(r.frame.data[2], 0x33);
}

TEST(Candump, RejectsWhatIsNotAClassicFrame) {
    EXPECT_TRUE(rejects("(1.0) can0 12#11"));               // 2 digits
    EXPECT_TRUE(rejects("(1.0) can0 800#11"));              // above 11 bits
    EXPECT_TRUE(rejects("(1.0) can0 20000080#0000000000")); // error frame flag
    EXPECT_TRUE(rejects("(1.0) can0 123##311"));            // CAN FD
    EXPECT_TRUE(rejects("(1.0) can0 123#112233445566778899"));
    EXPECT_TRUE(rejects("(1.0) can0 123#123")); // odd digits
    EXPECT_TRUE(rejects("(1.0) can0 123#R9"));
    EXPECT_TRUE(rejects("1.0 can0 123#11")); // no parentheses
    EXPECT_TRUE(rejects("(1.0) can0"));
    EXPECT_TRUE(rejects("(abc) can0 123#11"));
}

TEST(Candump, LogSkipsBlankAndCommentLinesAndNamesTheBadLine) {
    std::istringstream good("# recorded\n\n(1.0) can0 100#01\n(1.5) can1 200#R\n");
    std::string error;
    auto records = parseCandumpLog(good, error);
    ASSERT_TRUE(records) << error;
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ((*records)[1].frame.id, 0x200u);

    std::istringstream bad("(1.0) can0 100#01\n(1.1) can0 xyz#01\n");
    EXPECT_FALSE(parseCandumpLog(bad, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(Candump, SplitsInterfacesOntoBusesInOrderOfAppearance) {
    std::istringstream log("(1.0) can1 100#\n(1.1) can0 101#\n(1.2) can1 102#\n(1.3) vcan9 103#\n");
    std::string error;
    const auto records = parseCandumpLog(log, error).value();
    const auto two = splitByInterface(records, 2);
    ASSERT_EQ(two.size(), 2u);
    ASSERT_EQ(two[0].size(), 3u); // can1 first, then vcan9 wraps onto bus 0
    EXPECT_EQ(two[0][1].frame.id, 0x102u);
    ASSERT_EQ(two[1].size(), 1u);
    EXPECT_EQ(two[1][0].frame.id, 0x101u);
    EXPECT_EQ(splitByInterface(records, 1)[0].size(), 4u);
}

} // namespace
} // namespace emu
