#include <gtest/gtest.h>

#include <sstream>

#include "log_reader.h"
#include "replay_node.h"

namespace emu {
namespace {

std::vector<ReplayRecord> records(const std::string& text, canlog::Format format) {
    std::istringstream in(text);
    const auto log = canlog::readLog(in, format);
    EXPECT_EQ(log.malformedLines, 0u) << log.summary();
    return toReplayRecords(log.frames);
}

TEST(ReplayLog, EveryFormatGivesTheSameRecords) {
    const auto fromCandump = records("(10.000000) can1 123#1122\n(10.000100) can0 00000456#R4\n",
                                     canlog::Format::Candump);
    const auto fromAsc = records("base hex  timestamps absolute\n"
                                 "  10.000000 2  123             Rx   d 2 11 22\n"
                                 "  10.000100 1  456x            Tx   r 4\n",
                                 canlog::Format::Asc);
    const auto fromCsv = records("time,channel,direction,id,extended,remote,length,data\n"
                                 "10.000000,1,Rx,123,0,0,2,11 22\n"
                                 "10.000100,0,Tx,00000456,1,1,4,\n",
                                 canlog::Format::Csv);
    for (const auto* got : {&fromCandump, &fromAsc, &fromCsv}) {
        ASSERT_EQ(got->size(), 2u);
        EXPECT_EQ((*got)[0].channel, 1u);
        EXPECT_EQ((*got)[0].frame.id, 0x123u);
        EXPECT_EQ((*got)[0].frame.length, 2);
        EXPECT_EQ((*got)[0].frame.data[1], 0x22);
        EXPECT_EQ((*got)[1].timeUs - (*got)[0].timeUs, 100);
        EXPECT_EQ((*got)[1].channel, 0u);
        EXPECT_TRUE((*got)[1].frame.extended);
        EXPECT_TRUE((*got)[1].frame.remote);
        EXPECT_EQ((*got)[1].frame.length, 4);
    }
}

TEST(ReplayLog, SplitsChannelsOntoBuses) {
    const auto all =
        records("(1.0) can1 100#\n(1.1) can0 101#\n(1.2) can1 102#\n(1.3) vcan2 103#\n",
                canlog::Format::Candump);
    const auto two = splitByChannel(all, 2);
    ASSERT_EQ(two.size(), 2u);
    ASSERT_EQ(two[0].size(), 2u); // can0, then vcan2 wraps onto bus 0
    EXPECT_EQ(two[0][1].frame.id, 0x103u);
    ASSERT_EQ(two[1].size(), 2u);
    EXPECT_EQ(two[1][1].frame.id, 0x102u);
    EXPECT_EQ(splitByChannel(all, 1)[0].size(), 4u);
}

} // namespace
} // namespace emu
